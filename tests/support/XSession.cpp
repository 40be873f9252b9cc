#include "support/XSession.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int kStartDeadlineMs = 20000;

} // namespace

XSession::~XSession() {
    stop();
}

bool XSession::start(bool withWindowManager) {
    // Xvfb writes its display number on descriptor 3 once it accepts connections. -noreset: the
    // server must outlive its last client; -ardelay: no auto-repeat while a test holds a key down.
    QRect screen;
    for (const QRect &monitor : m_monitors)
        screen |= monitor;
    const QString size = QStringLiteral("%1x%2x24").arg(screen.right() + 1).arg(screen.bottom() + 1);
    const QString number = QString::fromLatin1(
        childprocess::spawnAndReadAnnouncement({"Xvfb", "-displayfd", "3", "-screen", "0", size, "-nolisten",
                                                "tcp", "-noreset", "-ardelay", "30000"},
                                               kStartDeadlineMs, &m_server));
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not start");
        stop();
        return false;
    }
    m_display = QLatin1Char(':') + number;
    exportEnvironment();
    s_current = this;
    if (m_monitors.size() > 1 && !divideIntoMonitors()) {
        stop();
        return false;
    }
    return !withWindowManager || startWindowManager();
}

// RandR monitors on the one screen: programs and the window manager see a monitor each, as on a
// desktop with two displays. The first takes over the screen's one output and so is the primary.
bool XSession::divideIntoMonitors() {
    for (int i = 0; i < m_monitors.size(); ++i) {
        const QRect &m = m_monitors.at(i);
        // Sizes in millimetres too; about 96 pixels per inch.
        const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+%6")
                                     .arg(m.width())
                                     .arg(m.width() * 254 / 960)
                                     .arg(m.height())
                                     .arg(m.height() * 254 / 960)
                                     .arg(m.x())
                                     .arg(m.y());
        bool ok = false;
        childprocess::runToEnd({"xrandr", "--setmonitor", QStringLiteral("monitor%1").arg(i), geometry,
                                i == 0 ? QStringLiteral("screen") : QStringLiteral("none")},
                               kStartDeadlineMs, &ok);
        if (!ok) {
            m_error = QStringLiteral("xrandr could not add monitor %1").arg(i);
            return false;
        }
    }
    return true;
}

void XSession::exportEnvironment() {
    QByteArray runtime = QDir::tempPath().toLocal8Bit() + "/halcyon-xdg-XXXXXX";
    if (mkdtemp(runtime.data()))
        m_runtimeDir = QString::fromLocal8Bit(runtime);
    const QList<QPair<QByteArray, QByteArray>> environment{
        {"DISPLAY", m_display.toLocal8Bit()},
        {"XDG_RUNTIME_DIR", runtime},
        {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
        {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"},
        {"QT_LOGGING_RULES", "qt.webenginecontext.info=false"},
        {"QT_QPA_PLATFORM", "xcb"},
    };
    for (const auto &[name, value] : environment) {
        m_savedEnvironment.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
        qputenv(name, value);
    }
}

// A test that ran its own session leaves the process as it found it.
void XSession::restoreEnvironment() {
    for (const auto &[name, value] : m_savedEnvironment) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    m_savedEnvironment.clear();
}

bool XSession::startWindowManager() {
    if (m_windowManager > 0)
        return true;
    m_windowManager = childprocess::spawn({"openbox", "--sm-disable"}, {.quiet = true});
    QDeadlineTimer deadline(kStartDeadlineMs);
    while (!windowManagerReady()) {
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("openbox did not start");
            stopWindowManager();
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

// openbox announces itself (_NET_SUPPORTING_WM_CHECK) before it has taken over the windows already
// there; a window mapped in between is never managed. Its client list comes after that.
bool XSession::windowManagerReady() const {
    bool ok = false;
    const QByteArray out = childprocess::runToEnd({"xprop", "-root", "_NET_CLIENT_LIST"}, 5000, &ok);
    return ok && out.startsWith("_NET_CLIENT_LIST(WINDOW)");
}

void XSession::stopWindowManager() {
    childprocess::stop(m_windowManager);
    m_windowManager = -1;
}

void XSession::stop() {
    stopWindowManager();
    childprocess::stop(m_server);
    m_server = -1;
    restoreEnvironment();
    if (!m_runtimeDir.isEmpty())
        QDir(m_runtimeDir).removeRecursively();
    m_runtimeDir.clear();
    if (s_current == this)
        s_current = nullptr;
}
