#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// A second RTSP server, not ours: rtsp-server-perl relaying an MPEG-TS that ffmpeg publishes to it
// in a loop. It sends each elementary stream as an RTP session of its own, over UDP only, and gives
// control paths relative to the request address without a Content-Base.
class IndependentServer {
public:
    IndependentServer() = default;
    ~IndependentServer();
    IndependentServer(const IndependentServer &) = delete;
    IndependentServer &operator=(const IndependentServer &) = delete;

    // Serves `channel` from `source`, or from a picture made for it when source is empty. Returns
    // once a client can describe the channel, or false (reason in error()) after a deadline.
    bool start(int channel = 201, const QString &source = QString());
    void stop();

    int port() const { return m_clientPort; }
    QByteArray address() const;
    QString error() const { return m_error; }

    // Writes a few seconds of MPEG-TS: MPEG-2 video of the channel's colour with its number, and a
    // tone in MPEG audio, made by ffmpeg alone.
    static bool makeSource(const QString &path, int channel, QString *error);

private:
    bool describes() const;

    QTemporaryDir m_dir;
    pid_t m_server = -1;
    pid_t m_publisher = -1;
    int m_channel = 0;
    int m_clientPort = -1;
    QString m_error;
};
