#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// rtsp-server-perl, a server other than our own box, relaying files that ffmpeg publishes to it in
// a loop as live channels. It sends each elementary stream as its own RTP session over UDP only,
// with control paths relative to the request address.
class IndependentServer {
public:
    IndependentServer() = default;
    ~IndependentServer();
    IndependentServer(const IndependentServer &) = delete;
    IndependentServer &operator=(const IndependentServer &) = delete;

    // False (reason in error()) when the server does not accept connections in time.
    bool start();
    // Publishes file as channel, looped at its own pace.
    bool publish(int channel, const QString &file);
    QByteArray address(int channel) const;

    // Holds the whole server (no packet, no answer) until resume(): a network stall.
    void pause();
    void resume();

    QString error() const { return m_error; }
    // A folder for the media the test makes, removed with the server.
    QString mediaPath(const QString &name) const { return m_media.filePath(name); }

private:
    QTemporaryDir m_media;
    pid_t m_server = -1;
    QList<pid_t> m_publishers;
    int m_lock = -1;
    int m_clientPort = 0;
    int m_sourcePort = 0;
    QString m_error;
};
