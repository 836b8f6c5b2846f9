// Shows the program's windows on the X display named by the environment and
// prints, one window per line, the title the program gave it and the two
// names the window system holds for it as xprop reads them:
// title TAB WM_NAME TAB _NET_WM_NAME.
#include "CAboutDialog.h"
#include "CDiagramOptionsDialog.h"
#include "CDocManager.h"
#include "CKorvoApp.h"
#include "CKorvoDoc.h"
#include "CMainFrame.h"
#include "CTablePropertiesDialog.h"
#include "KorvoTableView.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>

namespace {

// The value of one property in xprop's "NAME = "value"" lines.
QString Property(const QString& xprop, const char* name)
{
    const QRegularExpression line(QStringLiteral("^%1 = \"(.*)\"$").arg(QLatin1String(name)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(xprop);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("<none>");
}

void Report(QWidget& window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("%s\tnot shown\n", qPrintable(window.windowTitle()));
        return;
    }
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QStringLiteral("-notype"), QStringLiteral("WM_NAME"),
                                          QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0) {
        std::printf("%s\txprop failed\n", qPrintable(window.windowTitle()));
        return;
    }
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput());
    std::printf("%s\t%s\t%s\n", window.windowTitle().toUtf8().constData(),
                Property(out, "WM_NAME").toUtf8().constData(), Property(out, "_NET_WM_NAME").toUtf8().constData());
}

} // namespace

int main(int argc, char** argv)
{
    CKorvoApp app(argc, argv);
    CMainFrame frame;
    Report(frame);
    frame.GetDocManager()->OnFileNew();
    Report(frame);

    CAboutDialog about(&frame);
    Report(about);
    CKorvoDoc doc;
    KorvoTableView table;
    CTablePropertiesDialog properties(&frame, &table, &doc);
    Report(properties);
    CDiagramOptionsDialog options(nullptr);
    Report(options);
    frame.GetDocManager()->CloseAllDocuments();
    return 0;
}
