#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRect>
#include <QString>

#include <sys/types.h>

// A private X server (Xvfb on a free display) and, optionally, the openbox window manager, with
// the environment the program expects (DISPLAY, XDG_RUNTIME_DIR, the web engine settings).
// Both are stopped by PID when the session ends and die with the test program if it crashes.
class XSession {
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    // Monitors side by side on the one screen, the first one primary; call before start(). By
    // default the screen is one 1280 x 1024 monitor.
    void setMonitors(const QList<QRect> &monitors) { m_monitors = monitors; }

    // Starts the server, exports its environment into this process (children inherit it) and,
    // when asked, the window manager. On failure, the reason is in error().
    bool start(bool withWindowManager = true);
    void stop();

    // Tests of the behaviour without a window manager stop it and start it again afterwards.
    bool startWindowManager();
    void stopWindowManager();
    bool hasWindowManager() const { return m_windowManager > 0; }

    QString display() const { return m_display; }
    pid_t serverPid() const { return m_server; }
    pid_t windowManagerPid() const { return m_windowManager; }
    QString error() const { return m_error; }

    // The session the X test programs run in, or null in the offscreen ones.
    static XSession *current() { return s_current; }

private:
    bool windowManagerReady() const;
    bool divideIntoMonitors();
    void exportEnvironment();
    void restoreEnvironment();

    QList<QPair<QByteArray, QByteArray>> m_savedEnvironment;
    QList<QRect> m_monitors{QRect(0, 0, 1280, 1024)};
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    QString m_display;
    QString m_runtimeDir;
    QString m_error;
    static inline XSession *s_current = nullptr;
};
