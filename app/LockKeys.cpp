#include "LockKeys.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#if defined(KORVO_HAVE_X11)
#include <X11/XKBlib.h>
#endif

LockKeys QueryLockKeys()
{
    LockKeys keys;
#if defined(KORVO_HAVE_X11)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return keys;
    auto indicator = [display](const char* name) {
        const Atom atom = XInternAtom(display, name, True);
        Bool on = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
            return false;
        return on == True;
    };
    keys.capsLock = indicator("Caps Lock");
    keys.numLock = indicator("Num Lock");
    keys.scrollLock = indicator("Scroll Lock");
#endif
    return keys;
}
