#include "support/IndependentRelay.h"

#include "settopbox/ChannelColors.h"
#include "support/ChildProcess.h"
#include "support/RtspClient.h"
#include "support/Wait.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int kStartDeadlineMs = 20000;
constexpr int kStopGraceMs = 1000;
// Towards its clients the relay takes RTP ports upwards from its start port, two per stream and
// client.
constexpr int kRtpPortsNeeded = 16;

int freeTcpPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : -1;
}

// An even port with a run of free UDP ports above it; nothing reserves them, so pick at random.
int freeUdpRun() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int base = 20000 + 2 * QRandomGenerator::global()->bounded(20000);
        bool free = true;
        for (int port = base; port < base + kRtpPortsNeeded && free; ++port) {
            QUdpSocket socket;
            free = socket.bind(QHostAddress::LocalHost, quint16(port));
        }
        if (free)
            return base;
    }
    return -1;
}

bool accepts(int port) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    return socket.waitForConnected(500);
}

} // namespace

IndependentRelay::~IndependentRelay() {
    stop();
}

bool IndependentRelay::makeSource(const QString &path, int channel, QString *error) {
    const auto c = halcyon::settopbox::channelColour(channel);
    const QString colour = QStringLiteral("0x%1%2%3")
                               .arg(c.r, 2, 16, QLatin1Char('0'))
                               .arg(c.g, 2, 16, QLatin1Char('0'))
                               .arg(c.b, 2, 16, QLatin1Char('0'));
    const QString picture =
        QStringLiteral("color=c=%1:s=720x576:r=25,drawtext=fontfile=/usr/share/fonts/truetype/dejavu/"
                       "DejaVuSans-Bold.ttf:text=%2:fontsize=200:fontcolor=white:x=(w-tw)/2:y=(h-th)/2")
            .arg(colour)
            .arg(channel);
    bool ok = false;
    childprocess::runToEnd({"ffmpeg",
                            "-nostdin",
                            "-v",
                            "error",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            picture,
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=f=440:r=48000",
                            "-t",
                            "4",
                            "-c:v",
                            "mpeg2video",
                            "-b:v",
                            "3M",
                            "-g",
                            "12",
                            "-bf",
                            "2",
                            "-c:a",
                            "mp2",
                            "-b:a",
                            "128k",
                            "-f",
                            "mpegts",
                            path},
                           30000, &ok);
    if (!ok && error)
        *error = QStringLiteral("ffmpeg could not make ") + path;
    return ok;
}

bool IndependentRelay::start() {
    stop();
    // The server takes the UDP ports from 20000 up for its sources whatever start port it is told:
    // two servers on one machine collide there, so they take turns.
    m_lock = open("/tmp/halcyon-rtsp-server-perl.lock", O_CREAT | O_RDWR, 0666);
    if (!waitUntil([&] { return m_lock >= 0 && flock(m_lock, LOCK_EX | LOCK_NB) == 0; }, 170000, 200)) {
        m_error = QStringLiteral("another rtsp-server-perl keeps its ports");
        stop();
        return false;
    }
    m_clientPort = freeTcpPort();
    m_sourcePort = freeTcpPort();
    const int rtpPorts = freeUdpRun();
    m_rtpStartPort = rtpPorts;
    if (m_clientPort <= 0 || m_sourcePort <= 0 || m_sourcePort == m_clientPort || rtpPorts <= 0) {
        m_error = QStringLiteral("no free ports");
        stop();
        return false;
    }
    m_server = childprocess::spawn({"rtsp-server-perl", "-c", QString::number(m_clientPort), "-s",
                                    QString::number(m_sourcePort), "--client_listen_address", "127.0.0.1",
                                    "--source_listen_address", "127.0.0.1", "--rtp_start_port",
                                    QString::number(rtpPorts)},
                                   {.quiet = true});
    // Perl takes a second or more to load the server on a busy machine. Knocking on the source port
    // would count as a source that came and went: ask the client side.
    if (m_server < 0 || !waitUntil([&] { return accepts(m_clientPort); }, kStartDeadlineMs)) {
        m_error = QStringLiteral("rtsp-server-perl did not start");
        stop();
        return false;
    }
    return true;
}

bool IndependentRelay::start(int channel, const QString &source) {
    return start() && publish(channel, source);
}

bool IndependentRelay::publish(int channel, const QString &file) {
    if (m_publishers.isEmpty())
        m_channel = channel;
    QString source = file;
    if (source.isEmpty()) {
        source = m_media.filePath(QStringLiteral("source-%1.ts").arg(channel));
        if (!makeSource(source, channel, &m_error))
            return false;
    }
    const pid_t publisher = childprocess::spawn(
        {"ffmpeg", "-nostdin", "-v", "error", "-re", "-stream_loop", "-1", "-i", source, "-c", "copy", "-f",
         "rtsp", QStringLiteral("rtsp://127.0.0.1:%1/orvantv/%2").arg(m_sourcePort).arg(channel)},
        {.quiet = true});
    if (publisher > 0)
        m_publishers.append(publisher);
    if (publisher < 0 || !waitUntil([&] { return describes(channel); }, kStartDeadlineMs, 200)) {
        m_error = QStringLiteral("the relay does not describe channel %1").arg(channel);
        return false;
    }
    return true;
}

void IndependentRelay::stop() {
    resume();
    for (pid_t publisher : m_publishers)
        childprocess::stop(publisher, kStopGraceMs);
    m_publishers.clear();
    if (m_server > 0)
        childprocess::stop(m_server, kStopGraceMs);
    m_server = -1;
    if (m_lock >= 0)
        close(m_lock); // gives the next server its turn
    m_lock = -1;
}

QByteArray IndependentRelay::address(int channel) const {
    return QStringLiteral("rtsp://127.0.0.1:%1/orvantv/%2").arg(m_clientPort).arg(channel).toLatin1();
}

void IndependentRelay::endSessions(quint32 ssrc) {
    // An empty receiver report first (a compound RTCP packet starts with one), then the BYE.
    QByteArray bye(16, '\0');
    const auto put32 = [&bye](int at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            bye[at + i] = char(value >> (24 - 8 * i));
    };
    put32(0, 0x80c90001); // version 2, no report, RR, one word after the header
    put32(4, ssrc);
    put32(8, 0x81cb0001); // version 2, one SSRC, BYE
    put32(12, ssrc);
    QUdpSocket socket;
    // Each stream takes an RTP port and the RTCP port above it, in the order the channels came.
    for (int port = m_rtpStartPort + 1; m_rtpStartPort > 0 && port < m_rtpStartPort + kRtpPortsNeeded;
         port += 2)
        socket.writeDatagram(bye, QHostAddress::LocalHost, quint16(port));
}

void IndependentRelay::pause() {
    if (m_server > 0)
        kill(m_server, SIGSTOP);
}

void IndependentRelay::resume() {
    if (m_server > 0)
        kill(m_server, SIGCONT);
}

// The server answers a DESCRIBE with 200 once a source publishes the channel.
bool IndependentRelay::describes(int channel) const {
    RtspClient client;
    if (!client.connectTo(quint16(m_clientPort), 1000))
        return false;
    return client.describe(address(channel)).status == 200;
}
