#include "CAboutDialog.h"

#include "CLinkLabel.h"
#include "CommandIds.h"
#include "KorvoVersion.h"

#include <QIcon>
#include <QLabel>

#include <algorithm>

namespace {

constexpr const char* kAddress = "https://korvo.example.org/";

} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : CTemplateDialog(parent, QStringLiteral("About Korvo"), 262, 103)
{
    auto* icon = new QLabel(this);
    icon->setObjectName(QString::number(IDR_MAINFRAME));
    icon->setPixmap(QIcon(QStringLiteral(":/icons/korvo.svg")).pixmap(32, 32));
    icon->setGeometry(QRect(Units().ToPixels(11, 10, 21, 20).topLeft(), QSize(32, 32)));

    AddLine(QStringLiteral("Korvo v" KORVO_VERSION " - Windows Edition"), 39, 10, 160, 8);
    AddLine(QStringLiteral("Your Windows based Entity Relationship Designer"), 39, 22, 216, 8);

    m_wndLink = new CLinkLabel(this);
    m_wndLink->setObjectName(QString::number(kIdLink));
    m_wndLink->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_wndLink->setText(Address());
    m_wndLink->setGeometry(Units().ToPixels(39, 40, 107, 9));
    // The dialog's data exchange: the label becomes the link.
    m_wndLink->TakeOver();

    AddButton(kIdOk, QStringLiteral("OK"), 205, 7, 50, 14, true);

    AddGroupBox(QString(), 7, 55, 248, 41);
    AddLine(QStringLiteral("Tables, columns and relations drawn on printer pages,"), 13, 63, 236, 9);
    AddLine(QStringLiteral("saved as .erd files, exported to and imported from SQL."), 13, 74, 236, 9);
    AddLine(QStringLiteral("Built with Qt %1.").arg(QLatin1String(qVersion())), 13, 85, 236, 9);
}

QString CAboutDialog::Address()
{
    return QString::fromLatin1(kAddress);
}

QLabel* CAboutDialog::AddLine(const QString& text, int x, int y, int cx, int cy)
{
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QRect rect = Units().ToPixels(x, y, cx, cy);
    const int room = width() - Units().ToPixelsX(7) - rect.left();
    rect.setWidth(std::max(rect.width(), std::min(label->sizeHint().width(), room)));
    label->setGeometry(rect);
    return label;
}
