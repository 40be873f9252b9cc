#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QTcpSocket>

// A bare RTSP client for tests that need what a player hides: the status of each answer, a
// session that sends no keep-alive, the RTP packets of an interleaved stream one by one.
// Blocking with deadlines; no event loop needed.
class RtspClient {
public:
    struct Answer {
        int status = 0;                       // 0 when nothing came back in time
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    bool connectTo(quint16 port, int timeoutMs = 5000);
    void close() { m_socket.abort(); }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    Answer request(const QByteArray &method, const QByteArray &url, const QList<QByteArray> &headers = {},
                   int timeoutMs = 10000);
    Answer describe(const QByteArray &url) { return request("DESCRIBE", url, {"Accept: application/sdp"}); }
    // The first SETUP opens a session; later ones join it.
    Answer setupUdp(const QByteArray &url, int clientPort);
    Answer setupTcp(const QByteArray &url, int channel = 0);
    Answer play(const QByteArray &url) { return request("PLAY", url); }
    // A request that only keeps the session alive.
    Answer keepAlive(const QByteArray &url) { return request("GET_PARAMETER", url); }

    // Reads what has arrived of the interleaved stream; call from a waitUntil condition.
    int rtpPackets();
    // Gaps in the RTP sequence numbers of interleaved channel 0 since PLAY.
    int missingPackets();
    qint64 msSinceLastPacket();
    // The longest silence between two RTP packets.
    qint64 longestGapMs() const { return m_longestGapMs; }

    QByteArray session() const { return m_session; }
    // Controls of the SDP's media, resolved against the request address.
    static QList<QByteArray> controls(const QByteArray &sdp, const QByteArray &url);

private:
    void pump(int waitMs);
    bool takeInterleaved();
    bool takeAnswer(Answer *answer);

    QTcpSocket m_socket;
    QByteArray m_pending;
    QByteArray m_session;
    int m_cseq = 0;
    int m_packets = 0;
    int m_missing = 0;
    int m_lastSequence = -1;
    QElapsedTimer m_sinceLast;
    qint64 m_longestGapMs = 0;
};
