#include "support/IndependentServer.h"

#include "settopbox/ChannelColors.h"
#include "support/ChildProcess.h"
#include "support/RtspClient.h"
#include "support/Wait.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {

constexpr int kStartDeadlineMs = 20000;
// The relay takes RTP ports upwards from its start port, two per stream and client.
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

IndependentServer::~IndependentServer() {
    stop();
}

bool IndependentServer::makeSource(const QString &path, int channel, QString *error) {
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

bool IndependentServer::start(int channel, const QString &source) {
    stop();
    m_channel = channel;
    QString file = source;
    if (file.isEmpty()) {
        file = m_dir.filePath(QStringLiteral("source.ts"));
        if (!makeSource(file, channel, &m_error))
            return false;
    }
    m_clientPort = freeTcpPort();
    const int sourcePort = freeTcpPort();
    const int rtpPorts = freeUdpRun();
    if (m_clientPort <= 0 || sourcePort <= 0 || sourcePort == m_clientPort || rtpPorts <= 0) {
        m_error = QStringLiteral("no free ports");
        return false;
    }
    childprocess::SpawnOptions quiet;
    quiet.quiet = true;
    m_server = childprocess::spawn({"rtsp-server-perl", "-c", QString::number(m_clientPort), "-s",
                                    QString::number(sourcePort), "--client_listen_address", "127.0.0.1",
                                    "--source_listen_address", "127.0.0.1", "--rtp_start_port",
                                    QString::number(rtpPorts)},
                                   quiet);
    // Knocking on the source port would count as a source that came and went: ask the client side.
    if (m_server < 0 || !waitUntil([&] { return accepts(m_clientPort); }, kStartDeadlineMs)) {
        m_error = QStringLiteral("rtsp-server-perl did not start");
        stop();
        return false;
    }
    m_publisher = childprocess::spawn(
        {"ffmpeg", "-nostdin", "-v", "error", "-re", "-stream_loop", "-1", "-i", file, "-c", "copy", "-f",
         "rtsp", QStringLiteral("rtsp://127.0.0.1:%1/orvantv/%2").arg(sourcePort).arg(channel)},
        quiet);
    if (m_publisher < 0 || !waitUntil([&] { return describes(); }, kStartDeadlineMs)) {
        m_error = QStringLiteral("the relay does not describe channel %1").arg(channel);
        stop();
        return false;
    }
    return true;
}

void IndependentServer::stop() {
    if (m_publisher > 0)
        childprocess::stop(m_publisher);
    if (m_server > 0)
        childprocess::stop(m_server);
    m_publisher = m_server = -1;
}

QByteArray IndependentServer::address() const {
    return QStringLiteral("rtsp://127.0.0.1:%1/orvantv/%2").arg(m_clientPort).arg(m_channel).toLatin1();
}

bool IndependentServer::describes() const {
    RtspClient client;
    if (!client.connectTo(quint16(m_clientPort), 1000))
        return false;
    const RtspClient::Answer answer = client.describe(address());
    return answer.status == 200 && answer.body.contains("m=video");
}
