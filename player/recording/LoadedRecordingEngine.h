#pragma once

#include "player/recording/RecordingEngine.h"

#include <memory>

class RecorderCalls;

// The FFmpeg recording engine, from a library of its own loaded at the first recording: FFmpeg's
// libraries (with every codec's, some eighty) then cost nothing while the program starts. Where the
// library cannot be loaded, a recording fails at its start, saying so.
class LoadedRecordingEngine : public RecordingEngine {
    Q_OBJECT
public:
    explicit LoadedRecordingEngine(QObject *parent = nullptr);
    ~LoadedRecordingEngine() override;

    void start(const QString &inputUrl, const SoutChain &chain) override;
    void stop() override;
    QString outputPath() const override;
    bool streamLost() const override;

private:
    std::unique_ptr<RecorderCalls> m_calls;
    QString m_outputPath;
};
