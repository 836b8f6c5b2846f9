#include "CDiagramOptionsDialog.h"

#include "CModalSeam.h"

#include <QLineEdit>

#include <climits>

namespace {

bool IsBlankOrTab(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// White space as strtol skips it.
bool IsCSpace(QChar c)
{
    return c == QLatin1Char(' ') || (c.unicode() >= 9 && c.unicode() <= 13);
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

CDiagramOptionsDialog::CDiagramOptionsDialog(QWidget* parent)
    : CTemplateDialog(parent, QStringLiteral("Diagram Options"), 176, 70)
{
    AddGroupBox(QStringLiteral("Max Pages"), 7, 7, 104, 55);
    AddLabel(QStringLiteral("Horizontal:"), 19, 23, 34, 8);
    m_pAcrossEdit = AddEdit(IDC_PAGES_ACROSS, 55, 20, 40, 14);
    AddLabel(QStringLiteral("Vertical:"), 27, 41, 26, 8);
    m_pDownEdit = AddEdit(IDC_PAGES_DOWN, 55, 38, 40, 14);
    AddButton(kIdOk, QStringLiteral("OK"), 119, 7, 50, 14, true);
    AddButton(kIdCancel, QStringLiteral("Cancel"), 119, 24, 50, 14);
}

void CDiagramOptionsDialog::showEvent(QShowEvent* event)
{
    CTemplateDialog::showEvent(event);
}

void CDiagramOptionsDialog::OnInitDialog()
{
    m_pAcrossEdit->setText(QString::number(m_nPagesAcross));
    m_pDownEdit->setText(QString::number(m_nPagesDown));
}

long CDiagramOptionsDialog::LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulated toward the sign so that LONG_MIN is reachable; saturates.
    long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i].unicode() - '0';
        if (negative)
            value = value < (LONG_MIN + digit) / 10 ? LONG_MIN : value * 10 - digit;
        else
            value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
    }
    return value;
}

std::optional<unsigned> CDiagramOptionsDialog::ParseUnsigned(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlankOrTab(text[i]))
        ++i;
    if (i < text.size() && text[i] == QLatin1Char('+'))
        ++i;
    const qsizetype firstDigit = i;
    unsigned long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + unsigned(text[i].unicode() - '0');
        if (value > UINT_MAX)
            return std::nullopt;
    }
    if (i == firstDigit)
        return std::nullopt;
    while (i < text.size() && IsBlankOrTab(text[i]))
        ++i;
    if (i != text.size())
        return std::nullopt;
    return unsigned(value);
}

void CDiagramOptionsDialog::RefuseField(QLineEdit* field)
{
    KorvoMessageBox(this, QStringLiteral("Please enter a positive integer."));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void CDiagramOptionsDialog::accept()
{
    EnsureInitialized();
    // The range is checked on the leading number before the fields are parsed
    // strictly, so "26a" is too large rather than not a number.
    if (LeadingNumber(m_pAcrossEdit->text()) > kMaxPages || LeadingNumber(m_pDownEdit->text()) > kMaxPages) {
        KorvoMessageBox(this, QStringLiteral("Page dimensions must be 25 or less."));
        return;
    }
    const std::optional<unsigned> across = ParseUnsigned(m_pAcrossEdit->text());
    if (!across) {
        RefuseField(m_pAcrossEdit);
        return;
    }
    const std::optional<unsigned> down = ParseUnsigned(m_pDownEdit->text());
    if (!down) {
        RefuseField(m_pDownEdit);
        return;
    }
    m_nPagesAcross = *across;
    m_nPagesDown = *down;
    CTemplateDialog::accept();
}
