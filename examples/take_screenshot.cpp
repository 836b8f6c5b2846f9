// Takes the README's screenshot: the program's main window with the example
// diagram open, as the X server shows it. Run through scripts/take-screenshot,
// which starts a private X server for it.
#include "CDocManager.h"
#include "CKorvoApp.h"
#include "CMainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: take_screenshot DIAGRAM.erd OUT.png\n");
        return 2;
    }
    const QString diagram = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    CKorvoApp app(argc, argv);
    CMainFrame frame;
    frame.resize(820, 560);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame) || !frame.GetDocManager()->OpenDocumentFile(diagram))
        return 1;
    if (QMdiSubWindow* window = frame.GetMdiArea()->currentSubWindow())
        window->showMaximized();
    QTest::qWait(500);
    // The pixels the X server holds for the window, not a redraw of it.
    const QPixmap shot = frame.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    frame.GetDocManager()->CloseAllDocuments();
    return !shot.isNull() && shot.save(out, "PNG", 9) ? 0 : 1;
}
