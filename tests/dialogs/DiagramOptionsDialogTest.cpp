#include "CDiagramOptionsDialog.h"
#include "DialogTest.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

namespace {

using Dlg = CDiagramOptionsDialog;

const QString kTooLarge = QStringLiteral("Page dimensions must be 25 or less.");
const QString kNotANumber = QStringLiteral("Please enter a positive integer.");

class DiagramOptionsDialogTest : public DialogTest {
protected:
    static QLineEdit* Across(const Dlg& d) { return Control<QLineEdit>(d, Dlg::IDC_PAGES_ACROSS); }
    static QLineEdit* Down(const Dlg& d) { return Control<QLineEdit>(d, Dlg::IDC_PAGES_DOWN); }
};

// The view sets the members after construction; they reach the fields when
// the dialog is shown.
TEST_F(DiagramOptionsDialogTest, ShowsTheMembersSetBeforeItOpens)
{
    Dlg dialog;
    dialog.m_nPagesAcross = 5;
    dialog.m_nPagesDown = 17;
    dialog.show();
    EXPECT_EQ(Across(dialog)->text(), "5");
    EXPECT_EQ(Down(dialog)->text(), "17");
}

struct PagesCase {
    const char* across;
    const char* down;
    QString message;         // empty when accepted
    int refusedField;        // the field left focused, 0 for none
    unsigned acrossExpected; // the members after an accepted OK
    unsigned downExpected;
};

TEST_F(DiagramOptionsDialogTest, OkChecksTheRangeThenTheNumbers)
{
    const PagesCase cases[] = {
        {"25", "25", {}, 0, 25, 25},
        {"0", "0", {}, 0, 0, 0},
        {" +7\t", "\t12 ", {}, 0, 7, 12},
        {"007", "+0", {}, 0, 7, 0},
        {"26", "5", kTooLarge, 0, 0, 0},
        {"5", "26", kTooLarge, 0, 0, 0},
        {"26a", "5", kTooLarge, 0, 0, 0},
        {" 99999999999999999999", "1", kTooLarge, 0, 0, 0},
        {"2a", "5", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
        {"5", "-1", kNotANumber, Dlg::IDC_PAGES_DOWN, 0, 0},
        {"-99999999999999999999", "5", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
        {"", "5", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
        {"5", "   ", kNotANumber, Dlg::IDC_PAGES_DOWN, 0, 0},
        {"+", "5", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
        {"1 2", "5", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
        {"++3", "5", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
        {"x", "y", kNotANumber, Dlg::IDC_PAGES_ACROSS, 0, 0},
    };
    for (const PagesCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.across << "\" x \"" << c.down << '"');
        m_seam.messages.clear();
        Dlg dialog;
        dialog.m_nPagesAcross = 3;
        dialog.m_nPagesDown = 4;
        dialog.show();
        Across(dialog)->setText(QString::fromLatin1(c.across));
        Down(dialog)->setText(QString::fromLatin1(c.down));
        Control<QPushButton>(dialog, Dlg::kIdOk)->click();

        if (c.message.isEmpty()) {
            EXPECT_TRUE(m_seam.messages.isEmpty()) << m_seam.messages.join('|').toStdString();
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.m_nPagesAcross, c.acrossExpected);
            EXPECT_EQ(dialog.m_nPagesDown, c.downExpected);
            continue;
        }
        EXPECT_EQ(m_seam.messages, QStringList({c.message}));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Across(dialog)->text(), QString::fromLatin1(c.across));
        EXPECT_EQ(Down(dialog)->text(), QString::fromLatin1(c.down));
        EXPECT_EQ(dialog.m_nPagesAcross, 3u);
        EXPECT_EQ(dialog.m_nPagesDown, 4u);
        if (c.refusedField) {
            QLineEdit* field = Control<QLineEdit>(dialog, c.refusedField);
            EXPECT_EQ(dialog.focusWidget(), field);
            EXPECT_EQ(field->selectedText(), field->text());
            EXPECT_EQ(field->selectionStart(), field->text().isEmpty() ? -1 : 0);
        }
    }
}

TEST_F(DiagramOptionsDialogTest, ARefusedFieldCanBeCorrected)
{
    Dlg dialog;
    dialog.show();
    Across(dialog)->setText("4");
    Down(dialog)->setText("2a");
    QTest::keyClick(Down(dialog), Qt::Key_Return);
    EXPECT_EQ(m_seam.messages, QStringList({kNotANumber}));
    EXPECT_TRUE(dialog.isVisible());
    // Typing replaces the selected text.
    QTest::keyClicks(Down(dialog), "9");
    EXPECT_EQ(Down(dialog)->text(), "9");
    QTest::keyClick(Down(dialog), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_nPagesAcross, 4u);
    EXPECT_EQ(dialog.m_nPagesDown, 9u);
}

TEST_F(DiagramOptionsDialogTest, CancelKeepsTheMembers)
{
    Dlg dialog;
    dialog.m_nPagesAcross = 5;
    dialog.m_nPagesDown = 5;
    dialog.show();
    Across(dialog)->setText("9");
    Control<QPushButton>(dialog, Dlg::kIdCancel)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.m_nPagesAcross, 5u);
    EXPECT_TRUE(m_seam.messages.isEmpty());
}

TEST_F(DiagramOptionsDialogTest, TemplateLayout)
{
    Dlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Diagram Options");
    EXPECT_EQ(dialog.maximumSize(), TemplateRect(dialog, 0, 0, 176, 70).size());
    EXPECT_EQ(Across(dialog)->geometry(), TemplateRect(dialog, 55, 20, 40, 14));
    EXPECT_EQ(Down(dialog)->geometry(), TemplateRect(dialog, 55, 38, 40, 14));
    EXPECT_EQ(Control<QPushButton>(dialog, Dlg::kIdCancel)->geometry(), TemplateRect(dialog, 119, 24, 50, 14));
    const QGroupBox* group = dialog.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "Max Pages");
    EXPECT_EQ(group->geometry(), TemplateRect(dialog, 7, 7, 104, 55));
    EXPECT_TRUE(Control<QPushButton>(dialog, Dlg::kIdOk)->isDefault());
    EXPECT_EQ(TabOrder(dialog), QStringList({"1014", "1015", "1", "2"}));
}

} // namespace
