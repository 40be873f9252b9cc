#pragma once

#include "desktop/ScreenSaverBackend.h"

// Suspends (or resumes) the X server's screen saver and display power management for this
// program's connection, through the screen-saver extension; false where there is no X server or
// no such extension. The server resumes by itself when the connection closes.
bool suspendX11ScreenSaver(bool suspend);

// The X server's own screen saver, where no desktop service answers.
class X11ScreenSaver : public ScreenSaverBackend {
public:
    void hold(Answer answer) override { answer(suspendX11ScreenSaver(true)); }
    void release() override { suspendX11ScreenSaver(false); }
    const char *name() const override { return "the X screen-saver extension"; }
};
