#pragma once

#include "desktop/ScreenSaverBackend.h"

#include <QObject>
#include <QtGlobal>

// The desktop's screen-saver service on the session bus (org.freedesktop.ScreenSaver), which
// also keeps the display powered: its Inhibit call, let go of with the cookie it gave. Calls are
// sent without waiting; one unanswered after kCallTimeoutMs counts as refused.
class FreedesktopScreenSaver : public ScreenSaverBackend {
public:
    static constexpr int kCallTimeoutMs = 1000;

    void hold(Answer answer) override;
    void release() override;
    const char *name() const override { return "org.freedesktop.ScreenSaver"; }

private:
    quint32 m_cookie = 0;
    // Holds the calls in flight: an answer that comes after this way is gone reaches no one.
    QObject m_calls;
};
