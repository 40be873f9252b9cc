#include "desktop/X11ScreenSaver.h"

#include <QGuiApplication>

// Xlib's macros clash with Qt's names: its headers come last.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

bool suspendX11ScreenSaver(bool suspend) {
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return false;
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase))
        return false;
    XScreenSaverSuspend(display, suspend ? True : False);
    XFlush(display);
    return true;
}
