#pragma once

#include "player/recording/RecordingEngine.h"
#include "player/recording/StreamRecorder.h"

// Records with FFmpeg on a thread of its own (StreamRecorder).
class FfmpegRecordingEngine : public RecordingEngine {
    Q_OBJECT
public:
    explicit FfmpegRecordingEngine(QObject *parent = nullptr);

    void start(const QString &inputUrl, const SoutChain &chain) override;
    void stop() override;
    QString outputPath() const override;
    bool streamLost() const override { return m_recorder.streamLost(); }

private:
    // A child, so that it follows this engine to whichever thread finally deletes it.
    StreamRecorder m_recorder{this};
};
