#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

// A viewer of one channel that counts the video packets it receives, without decoding.
class StreamWatcher {
public:
    ~StreamWatcher();
    bool start(const QByteArray &address);
    void stop();

    // Read what has arrived so far; call from a waitUntil condition.
    int packets();
    qint64 msSinceLastPacket();
    bool isConnected() const { return m_process.state() == QProcess::Running; }

private:
    void pump();

    QProcess m_process;
    QByteArray m_pending;
    int m_packets = 0;
    QElapsedTimer m_sinceLast;
};
