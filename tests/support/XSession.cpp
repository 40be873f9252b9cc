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
    const QString number = QString::fromLatin1(
        childprocess::spawnAndReadAnnouncement({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24",
                                                "-nolisten", "tcp", "-noreset", "-ardelay", "30000"},
                                               kStartDeadlineMs, &m_server));
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not start");
        stop();
        return false;
    }
    m_display = QLatin1Char(':') + number;
    exportEnvironment();
    s_current = this;
    return !withWindowManager || startWindowManager();
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
