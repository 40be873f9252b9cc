#pragma once

#include "player/SoutChain.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class FfmpegAudioEncoder;
class FfmpegDecoder;
class FfmpegInput;
class FfmpegOutput;
class FfmpegVideoEncoder;
struct AVFrame;
struct AVPacket;
struct AVStream;

// One recording from start to finished file, run on the recorder's own thread: reads the stream,
// decodes it, encodes MPEG-2 video and Layer II sound, and writes them as the chain asks. The file
// starts at the first whole picture and at time 0, and ends cleanly whatever stops it.
class FfmpegTranscoder {
public:
    struct Outcome {
        bool ok = false;
        QString message; // French, for the user
        // The stream could not be received or stopped arriving; what was written is finished.
        bool streamLost = false;
    };
    using Progress = std::function<void(qint64 elapsedMs, qint64 bytesWritten)>;

    FfmpegTranscoder(const QString &inputUrl, const SoutChain &chain, const std::atomic<bool> &stopRequested,
                     Progress progress);
    ~FfmpegTranscoder();

    // Returns once the file is finished: asked to stop, stream lost, or failed.
    Outcome run();

private:
    QString record();
    void handlePacket(AVPacket *packet);
    void startFile(const AVFrame *firstPicture);
    void writeVideo(AVFrame *picture);
    struct SoundTrack;
    void writeAudio(SoundTrack &track, AVFrame *sound);
    void finishFile();
    void reportProgress(bool now);
    qint64 elapsedMs() const;

    QString m_inputUrl;
    SoutChain m_chain;
    const std::atomic<bool> &m_stopRequested;
    Progress m_progress;

    std::unique_ptr<FfmpegInput> m_input;
    std::unique_ptr<FfmpegOutput> m_output;
    std::unique_ptr<FfmpegDecoder> m_videoDecoder;
    std::unique_ptr<FfmpegVideoEncoder> m_videoEncoder;
    // Each sound track of the stream, decoded and encoded on its own into a stream of the file.
    struct SoundTrack {
        const AVStream *source = nullptr;
        std::unique_ptr<FfmpegDecoder> decoder;
        std::unique_ptr<FfmpegAudioEncoder> encoder;
        int index = -1;
        int64_t firstPts = -1; // in samples
    };
    std::vector<SoundTrack> m_sounds;
    bool m_inputFailed = false;
    int m_videoIndex = -1;
    bool m_seenKeyFrame = false;
    int64_t m_startTime = 0;     // source time of the file's first picture
    int64_t m_lastVideoPts = -1; // in frames
    std::chrono::steady_clock::time_point m_lastReport;
};
