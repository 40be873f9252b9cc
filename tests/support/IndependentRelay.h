#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// A second RTSP server, not ours: rtsp-server-perl relaying files that ffmpeg publishes to it in a
// loop as live channels. It sends each elementary stream as an RTP session of its own, over UDP
// only, and gives control paths relative to the request address without a Content-Base.
class IndependentRelay {
public:
    IndependentRelay() = default;
    ~IndependentRelay();
    IndependentRelay(const IndependentRelay &) = delete;
    IndependentRelay &operator=(const IndependentRelay &) = delete;

    // Starts the server with no channel; false (reason in error()) when it does not accept
    // connections in time.
    bool start();
    // Starts the server and serves `channel` from `source`, as publish() does.
    bool start(int channel, const QString &source = QString());
    // Serves `channel` from `file` looped at its own pace, or from a picture made for it when file
    // is empty. Returns once a client can describe the channel, or false after a deadline.
    bool publish(int channel, const QString &file = QString());
    void stop();

    int port() const { return m_clientPort; }
    // The first channel published.
    QByteArray address() const { return address(m_channel); }
    QByteArray address(int channel) const;

    // Ends every viewer's session with an RTCP BYE naming ssrc, sent where the publishers send
    // their reports: the server passes whatever comes there on to each viewer, as it passes the
    // BYE a publisher sends when it stops.
    void endSessions(quint32 ssrc);

    // Holds the whole server (no packet, no answer) until resume(): a network stall.
    void pause();
    void resume();

    QString error() const { return m_error; }
    // A folder for the media the test makes, removed with the server.
    QString mediaPath(const QString &name) const { return m_media.filePath(name); }

    // Writes a few seconds of MPEG-TS: MPEG-2 video of the channel's colour with its number, and a
    // tone in MPEG audio, made by ffmpeg alone.
    static bool makeSource(const QString &path, int channel, QString *error);

private:
    bool describes(int channel) const;

    QTemporaryDir m_media;
    pid_t m_server = -1;
    QList<pid_t> m_publishers;
    int m_lock = -1;
    int m_channel = 0;
    int m_clientPort = -1;
    int m_sourcePort = -1;
    int m_rtpStartPort = -1;
    QString m_error;
};
