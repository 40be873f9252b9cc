#pragma once

#include "player/recording/RecordingEngine.h"

#include <QString>

#include <atomic>
#include <thread>

// Records a stream into a file with FFmpeg on a thread of its own, as a stream-output chain asks.
// Its signals are delivered on the thread that owns the engine (the UI thread), never on the
// recording one. progress() gives the time recorded so far as the file will play it; finished()
// is false when the recording could not start or stopped on an error, and whatever was recorded
// before an error is a complete, playable file.
class FfmpegRecordingEngine : public RecordingEngine {
    Q_OBJECT

public:
    explicit FfmpegRecordingEngine(QObject *parent = nullptr);
    // Stops a recording under way and waits for its file to be finished.
    ~FfmpegRecordingEngine() override;

    // Returns at once; the outcome comes with finished(). A recording under way is finished first.
    void start(const QString &inputUrl, const SoutChain &chain) override;
    // Returns at once; the file is finished on the recording thread, then finished() follows.
    void stop() override;

    bool isRecording() const { return m_recording; }
    // The file being written: the chain's, or a free name beside it when that one already exists.
    QString outputPath() const override { return m_outputPath; }
    bool streamLost() const override { return m_streamLost; }

private:
    void join();

    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    // Tells a recording's late signals from those of the one that replaced it.
    quint64 m_generation = 0;
    bool m_recording = false;
    bool m_streamLost = false;
    QString m_outputPath;
};
