#pragma once

#include "desktop/ScreenSaverBackend.h"

#include <QtGlobal>

// The desktop's screen-saver service on the session bus (org.freedesktop.ScreenSaver), which
// also keeps the display powered: its Inhibit call, let go of with the cookie it gave.
class FreedesktopScreenSaver : public ScreenSaverBackend {
public:
    bool hold() override;
    void release() override;
    const char *name() const override { return "org.freedesktop.ScreenSaver"; }

private:
    quint32 m_cookie = 0;
};
