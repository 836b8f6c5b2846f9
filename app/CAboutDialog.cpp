#include "CAboutDialog.h"

#include "CLinkLabel.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr const char* kAddress = "https://korvo.example.org/";

QLabel* Static(QWidget* parent, const QString& text, const QRect& rect)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(rect);
    return label;
}

} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Korvo"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // Dialog units: a quarter of the average character width across, an
    // eighth of the character height down.
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (width / 26 + 1) / 2;
    m_nBaseY = metrics.height();
    setFixedSize(DluRect(0, 0, 262, 103).size());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("IDC_STATIC_ICON"));
    const QRect iconRect = DluRect(11, 10, 21, 20);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/korvo.svg")).pixmap(32, 32));
    icon->setGeometry(QRect(iconRect.topLeft(), QSize(32, 32)));

    Static(this, QStringLiteral("Korvo v1.03 - Windows Edition"), DluRect(39, 10, 160, 8));
    Static(this, QStringLiteral("Your Windows based Entity Relationship Designer"), DluRect(39, 22, 160, 8));

    m_wndLink = new CLinkLabel(this);
    m_wndLink->setObjectName(QStringLiteral("1025"));
    m_wndLink->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_wndLink->setText(Address());
    m_wndLink->setGeometry(DluRect(39, 40, 107, 9));
    m_wndLink->TakeOver();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(DluRect(205, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* frame = new QGroupBox(this);
    frame->setGeometry(DluRect(7, 55, 248, 41));
    Static(frame, QStringLiteral("Tables, columns and relations drawn on printer pages,"), DluRect(6, 8, 236, 9));
    Static(frame, QStringLiteral("saved as .erd files, exported to and imported from SQL."), DluRect(6, 19, 236, 9));
    Static(frame, QStringLiteral("Built with Qt %1.").arg(QLatin1String(qVersion())), DluRect(6, 30, 236, 9));
}

QString CAboutDialog::Address()
{
    return QString::fromLatin1(kAddress);
}

QRect CAboutDialog::DluRect(int x, int y, int cx, int cy) const
{
    return QRect(x * m_nBaseX / 4, y * m_nBaseY / 8, cx * m_nBaseX / 4, cy * m_nBaseY / 8);
}
