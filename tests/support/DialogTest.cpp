#include "DialogTest.h"

#include <QApplication>
#include <QFontMetrics>

#include <cmath>

namespace {
QApplication* EnsureApplication()
{
    static int argc = 1;
    static char name[] = "korvo-dialog-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qApp ? nullptr : new QApplication(argc, argv);
    return app;
}
}

void DialogTest::SetUp()
{
    EnsureApplication();
}

QRect DialogTest::TemplateRect(const QWidget& dialog, int x, int y, int cx, int cy)
{
    const QFontMetrics metrics(dialog.font());
    const double average =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    const int baseX = int(std::lround(average));
    const int baseY = metrics.height();
    auto px = [](int du, int base, int per) { return int(std::lround(double(du) * base / per)); };
    return QRect(px(x, baseX, 4), px(y, baseY, 8), px(cx, baseX, 4), px(cy, baseY, 8));
}

QStringList DialogTest::TabOrder(const QWidget& dialog)
{
    QStringList ids;
    for (QWidget* w = dialog.nextInFocusChain(); w && w != &dialog; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == &dialog)
            ids.append(w->objectName());
    }
    return ids;
}
