#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <chrono>

struct AVFormatContext;
struct AVPacket;
struct AVStream;

// The stream being recorded, read with libavformat. Every blocking read gives up at once when the
// recording is asked to stop, and after a few seconds without data: a box that froze or vanished
// must not hold the recording open forever.
class FfmpegInput {
public:
    enum class Read { Packet, Stopped, Lost };

    explicit FfmpegInput(const std::atomic<bool> &stopRequested);
    ~FfmpegInput();
    FfmpegInput(const FfmpegInput &) = delete;
    FfmpegInput &operator=(const FfmpegInput &) = delete;

    // Connects and finds the streams; throws FfmpegError. Returns false when stopped meanwhile.
    bool open(const QString &url);
    AVStream *videoStream() const { return m_video; }
    // Every sound track, in the stream's order (the first the one FFmpeg finds best); none for a
    // stream without sound.
    const QList<AVStream *> &audioStreams() const { return m_audio; }
    AVFormatContext *context() const { return m_context; }

    Read read(AVPacket *packet);
    QString lostReason() const { return m_lostReason; }

private:
    using Clock = std::chrono::steady_clock;
    static int interrupted(void *self);
    // One attempt to connect and find the streams over an RTSP transport; an FFmpeg result code.
    int openOver(const char *transport, const QString &url);

    const std::atomic<bool> &m_stopRequested;
    AVFormatContext *m_context = nullptr;
    AVStream *m_video = nullptr;
    QList<AVStream *> m_audio;
    Clock::time_point m_deadline;
    bool m_closing = false;
    bool m_timedOut = false;
    QString m_lostReason;
};
