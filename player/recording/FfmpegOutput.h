#pragma once

#include <QString>

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;
struct AVRational;

// The file being written. It is opened first, so a folder that cannot be written is known at once;
// streams are added once the first picture has shown their parameters.
class FfmpegOutput {
public:
    // formatName: libavformat's muxer. Throws FfmpegError.
    FfmpegOutput(const QString &path, const char *formatName);
    ~FfmpegOutput();
    FfmpegOutput(const FfmpegOutput &) = delete;
    FfmpegOutput &operator=(const FfmpegOutput &) = delete;

    bool needsGlobalHeader() const;
    int addStream(const AVCodecContext *encoder);
    void writeHeader();
    bool headerWritten() const { return m_headerWritten; }
    // The packet's times are in the encoder's time base. Throws FfmpegError on a write error.
    void write(AVPacket *packet, int streamIndex, AVRational encoderTimeBase);
    // Writes what the muxer still holds and the trailer, and closes the file. Throws FfmpegError.
    void finish();
    // Closes a file that never received its header, and deletes it if this output created it: it
    // holds nothing to play.
    void discard();
    qint64 bytesWritten() const;

private:
    [[noreturn]] void writeFailed(int code);

    QString m_path;
    bool m_created;
    AVFormatContext *m_context = nullptr;
    bool m_headerWritten = false;
    bool m_failed = false;
    qint64 m_finalSize = 0;
};
