#include "IndependentServer.h"

#include "support/ChildProcess.h"
#include "support/Wait.h"

#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    close(fd);
    return -1;
}

bool accepts(int port) {
    const int fd = connectTo(port);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

// The server answers a DESCRIBE of the address with 200 once a source publishes it.
bool describes(int port, const QByteArray &address) {
    const int fd = connectTo(port);
    if (fd < 0)
        return false;
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const QByteArray request = "DESCRIBE " + address + " RTSP/1.0\r\nCSeq: 1\r\n\r\n";
    char answer[64] = {};
    const bool ok = write(fd, request.constData(), size_t(request.size())) == request.size() &&
                    read(fd, answer, sizeof answer - 1) > 0 && QByteArray(answer).startsWith("RTSP/1.0 200");
    close(fd);
    return ok;
}

} // namespace

IndependentServer::~IndependentServer() {
    resume();
    for (pid_t publisher : m_publishers)
        childprocess::stop(publisher, 1000);
    if (m_server > 0)
        childprocess::stop(m_server, 1000);
    if (m_lock >= 0)
        close(m_lock); // gives the next server its turn
}

bool IndependentServer::start() {
    m_clientPort = freePort();
    m_sourcePort = freePort();
    // Whatever it is told, the server takes the UDP ports from 20000 up for its sources once it has
    // none: two servers on one machine collide there, so they take turns.
    m_lock = open("/tmp/halcyon-rtsp-server-perl.lock", O_CREAT | O_RDWR, 0666);
    if (!waitUntil([&] { return m_lock >= 0 && flock(m_lock, LOCK_EX | LOCK_NB) == 0; }, 170000, 200)) {
        m_error = QStringLiteral("another rtsp-server-perl keeps its ports");
        return false;
    }
    m_server = childprocess::spawn(
        {"rtsp-server-perl", "-c", QString::number(m_clientPort), "-s", QString::number(m_sourcePort)},
        {.quiet = true});
    if (m_server < 0) {
        m_error = QStringLiteral("rtsp-server-perl does not start");
        return false;
    }
    // Perl takes a second or more to load the server on a busy machine.
    if (!waitUntil([&] { return accepts(m_clientPort) && accepts(m_sourcePort); }, 20000, 100)) {
        m_error =
            QStringLiteral("rtsp-server-perl does not listen on %1/%2").arg(m_clientPort).arg(m_sourcePort);
        return false;
    }
    return true;
}

bool IndependentServer::publish(int channel, const QString &file) {
    const pid_t publisher = childprocess::spawn(
        {"ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-stream_loop", "-1", "-i", file, "-c", "copy",
         "-f", "rtsp", QStringLiteral("rtsp://127.0.0.1:%1/orvantv/%2").arg(m_sourcePort).arg(channel)},
        {.quiet = true});
    if (publisher < 0)
        return false;
    m_publishers.append(publisher);
    return waitUntil([&] { return describes(m_clientPort, address(channel)); }, 20000, 200);
}

QByteArray IndependentServer::address(int channel) const {
    return QStringLiteral("rtsp://127.0.0.1:%1/orvantv/%2").arg(m_clientPort).arg(channel).toLatin1();
}

void IndependentServer::pause() {
    if (m_server > 0)
        kill(m_server, SIGSTOP);
}

void IndependentServer::resume() {
    if (m_server > 0)
        kill(m_server, SIGCONT);
}
