#include "support/SetTopBox.h"

#include "settopbox/PlaylistText.h"
#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QFile>

namespace {

constexpr int kReadyDeadlineMs = 20000;
constexpr int kCommandDeadlineMs = 10000;

QString joined(const QList<int> &numbers, const QMap<int, QString> &profiles = {}) {
    QStringList parts;
    for (int n : numbers)
        parts << QString::number(n) +
                     (profiles.contains(n) ? QLatin1Char(':') + profiles.value(n) : QString());
    return parts.join(QLatin1Char(','));
}

} // namespace

SetTopBox::~SetTopBox() {
    stop();
}

bool SetTopBox::start(const Options &options) {
    stop();
    m_options = options;
    QStringList args{"--port",     QString::number(options.port),
                     "--channels", joined(options.channels, options.profiles),
                     "--profile",  options.profile};
    if (!options.unserved.isEmpty())
        args << "--unserved" << joined(options.unserved);
    if (options.guideProgrammeSeconds > 0)
        args << "--guide-port" << "0" << "--programme-seconds" << QString::number(options.guideProgrammeSeconds);
    args << options.arguments;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    childprocess::tieToTestProgram(m_process);
    m_process.start(QStringLiteral(SETTOPBOX_BINARY), args);
    if (!m_process.waitForStarted(kReadyDeadlineMs)) {
        m_error = QStringLiteral("the box did not start: ") + m_process.errorString();
        return false;
    }
    if (options.guideProgrammeSeconds > 0)
        m_guidePort = waitForLine({"GUIDE port="}, kReadyDeadlineMs).mid(int(qstrlen("GUIDE port="))).toInt();
    const QByteArray ready = waitForLine({"READY port="}, kReadyDeadlineMs);
    m_port = ready.mid(int(qstrlen("READY port="))).toInt();
    if (m_port <= 0) {
        m_error = QStringLiteral("the box did not become ready");
        stop();
        return false;
    }
    return true;
}

void SetTopBox::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_pending.clear();
    m_port = -1;
    m_guidePort = -1;
}

QByteArray SetTopBox::address(int channel) const {
    return QByteArray::fromStdString(halcyon::settopbox::channelAddress("127.0.0.1", m_port, channel));
}

QByteArray SetTopBox::playlist() const {
    std::vector<int> numbers(m_options.channels.begin(), m_options.channels.end());
    numbers.insert(numbers.end(), m_options.unserved.begin(), m_options.unserved.end());
    return QByteArray::fromStdString(halcyon::settopbox::playlistText("127.0.0.1", m_port, numbers, m_guidePort));
}

bool SetTopBox::writePlaylist(const QString &path) const {
    QFile file(path);
    const QByteArray text = playlist();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

bool SetTopBox::freeze(int channel) {
    return command("freeze " + QByteArray::number(channel));
}
bool SetTopBox::resume(int channel) {
    return command("resume " + QByteArray::number(channel));
}
bool SetTopBox::stopServing() {
    return command("stop-serving");
}
bool SetTopBox::serve() {
    return command("serve");
}

bool SetTopBox::stall(int ms, int channel) {
    return command("stall " + QByteArray::number(ms) + ' ' + QByteArray::number(channel));
}
bool SetTopBox::setLoss(double percent, int channel) {
    return command("loss " + QByteArray::number(percent) + ' ' + QByteArray::number(channel));
}
bool SetTopBox::setJitter(int ms, int channel) {
    return command("jitter " + QByteArray::number(ms) + ' ' + QByteArray::number(channel));
}
bool SetTopBox::setTransport(const QString &transports) {
    return command("transport " + transports.toLatin1());
}
bool SetTopBox::setSessionTimeout(int seconds) {
    return command("session-timeout " + QByteArray::number(seconds));
}
bool SetTopBox::setMaxSessions(int sessions) {
    return command("max-sessions " + QByteArray::number(sessions));
}

bool SetTopBox::ignoreTeardown(bool ignored) {
    return command(ignored ? "teardown ignore" : "teardown answer");
}

SetTopBox::Sessions SetTopBox::sessions() {
    Sessions counted;
    if (m_process.state() != QProcess::Running)
        return counted;
    m_process.write("sessions\n");
    m_process.waitForBytesWritten(kCommandDeadlineMs);
    const QList<QByteArray> words = waitForLine({"SESSIONS "}, kCommandDeadlineMs).split(' ');
    if (waitForLine({"OK ", "ERROR "}, kCommandDeadlineMs) != "OK sessions" || words.size() < 2) {
        m_error = QStringLiteral("the box did not count its sessions");
        return counted;
    }
    counted.held = words[1].toInt();
    for (const QByteArray &channel : words.mid(2)) {
        const QList<QByteArray> parts = channel.split(':');
        if (parts.size() == 2)
            counted.peakViewers[parts[0].toInt()] = parts[1].split('/').value(1).toInt();
    }
    return counted;
}

bool SetTopBox::restart(int downMs) {
    if (!command("restart " + QByteArray::number(downMs)))
        return false;
    // The box announces its return on the same port as it did at start.
    return waitForLine({"READY port="}, kReadyDeadlineMs + downMs) ==
           "READY port=" + QByteArray::number(m_port);
}

bool SetTopBox::command(const QByteArray &line) {
    if (m_process.state() != QProcess::Running)
        return false;
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(kCommandDeadlineMs);
    // Commands go one at a time, so the next answer is this command's.
    return waitForLine({"OK ", "ERROR "}, kCommandDeadlineMs) == "OK " + line;
}

// Reads the box's output line by line until one starts with a prefix; lines before it are dropped.
QByteArray SetTopBox::waitForLine(const QList<QByteArray> &prefixes, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_pending += m_process.readAllStandardOutput();
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            for (const QByteArray &prefix : prefixes) {
                if (line.startsWith(prefix))
                    return line;
            }
        }
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return {};
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

int SetTopBox::startupPort() {
    const QByteArray host = HALCYON_STREAM_HOST_FOR_TESTS;
    const int colon = host.lastIndexOf(':');
    return colon < 0 ? 554 : host.mid(colon + 1).toInt();
}
