#include "support/RtspClient.h"

#include <QDeadlineTimer>

bool RtspClient::connectTo(quint16 port, int timeoutMs) {
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return m_socket.waitForConnected(timeoutMs);
}

RtspClient::Answer RtspClient::request(const QByteArray &method, const QByteArray &url,
                                       const QList<QByteArray> &headers, int timeoutMs) {
    QByteArray text = method + ' ' + url + " RTSP/1.0\r\nCSeq: " + QByteArray::number(++m_cseq) + "\r\n";
    if (!m_session.isEmpty())
        text += "Session: " + m_session + "\r\n";
    for (const QByteArray &header : headers)
        text += header + "\r\n";
    text += "User-Agent: halcyon-tests\r\n\r\n";
    Answer answer;
    if (!isConnected())
        return answer;
    m_socket.write(text);
    m_socket.waitForBytesWritten(timeoutMs);
    QDeadlineTimer deadline(timeoutMs);
    while (!takeAnswer(&answer)) {
        if (deadline.hasExpired() || !isConnected())
            return Answer();
        pump(int(qMax<qint64>(1, qMin<qint64>(100, deadline.remainingTime()))));
    }
    if (answer.headers.contains("session"))
        m_session = answer.headers.value("session").split(';').first().trimmed();
    return answer;
}

RtspClient::Answer RtspClient::setupUdp(const QByteArray &url, int clientPort) {
    return request("SETUP", url,
                   {"Transport: RTP/AVP;unicast;client_port=" + QByteArray::number(clientPort) + '-' +
                    QByteArray::number(clientPort + 1)});
}

RtspClient::Answer RtspClient::setupTcp(const QByteArray &url, int channel) {
    return request("SETUP", url,
                   {"Transport: RTP/AVP/TCP;unicast;interleaved=" + QByteArray::number(channel) + '-' +
                    QByteArray::number(channel + 1)});
}

void RtspClient::pump(int waitMs) {
    if (m_socket.bytesAvailable() == 0 && isConnected())
        m_socket.waitForReadyRead(waitMs);
    m_pending += m_socket.readAll();
    while (takeInterleaved()) {
    }
}

// One "$ channel length" frame off the front of what has arrived, if whole.
bool RtspClient::takeInterleaved() {
    if (m_pending.size() < 4 || m_pending.at(0) != '$')
        return false;
    const int channel = quint8(m_pending.at(1));
    const int length = (quint8(m_pending.at(2)) << 8) | quint8(m_pending.at(3));
    if (m_pending.size() < 4 + length)
        return false;
    if (channel == 0 && length >= 12) {
        const int sequence = (quint8(m_pending.at(6)) << 8) | quint8(m_pending.at(7));
        if (m_lastSequence >= 0)
            m_missing += (sequence - m_lastSequence - 1 + 65536) % 65536;
        m_lastSequence = sequence;
        if (m_packets > 0)
            m_longestGapMs = qMax(m_longestGapMs, m_sinceLast.elapsed());
        ++m_packets;
        m_sinceLast.restart();
    }
    m_pending.remove(0, 4 + length);
    return true;
}

bool RtspClient::takeAnswer(Answer *answer) {
    if (!m_pending.startsWith("RTSP/"))
        return false;
    const int end = m_pending.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = m_pending.left(end).split('\n');
    Answer parsed;
    parsed.status = lines.first().split(' ').value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            parsed.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                  lines[i].mid(colon + 1).trimmed());
    }
    const int length = parsed.headers.value("content-length").toInt();
    if (m_pending.size() < end + 4 + length)
        return false;
    parsed.body = m_pending.mid(end + 4, length);
    m_pending.remove(0, end + 4 + length);
    *answer = parsed;
    return true;
}

int RtspClient::rtpPackets() {
    pump(0);
    return m_packets;
}

int RtspClient::missingPackets() {
    pump(0);
    return m_missing;
}

qint64 RtspClient::msSinceLastPacket() {
    pump(0);
    return m_packets == 0 ? -1 : m_sinceLast.elapsed();
}

QList<QByteArray> RtspClient::controls(const QByteArray &sdp, const QByteArray &url) {
    QList<QByteArray> found;
    bool inMedia = false;
    for (QByteArray line : sdp.split('\n')) {
        line = line.trimmed();
        if (line.startsWith("m="))
            inMedia = true;
        if (!inMedia || !line.startsWith("a=control:"))
            continue;
        const QByteArray control = line.mid(int(qstrlen("a=control:")));
        found << (control.startsWith("rtsp://") ? control : url + '/' + control);
    }
    return found;
}
