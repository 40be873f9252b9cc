// The recorder library's entry point: the FFmpeg recording engine behind RecorderCalls.
#include "player/recording/FfmpegRecordingEngine.h"
#include "player/recording/RecorderCalls.h"

namespace {

class FfmpegRecorderCalls : public RecorderCalls {
public:
    FfmpegRecorderCalls(QObject *owner, Events events) : m_engine(new FfmpegRecordingEngine(owner)) {
        QObject::connect(m_engine, &RecordingEngine::progress, m_engine, events.progress);
        QObject::connect(m_engine, &RecordingEngine::finished, m_engine, events.finished);
    }
    // Gone while its owner is still whole: the engine waits here for its file to be finished.
    ~FfmpegRecorderCalls() override { delete m_engine; }

    void start(const QString &inputUrl, const SoutChain &chain) override { m_engine->start(inputUrl, chain); }
    void stop() override { m_engine->stop(); }
    QString outputPath() const override { return m_engine->outputPath(); }
    bool streamLost() const override { return m_engine->streamLost(); }

private:
    FfmpegRecordingEngine *m_engine;
};

} // namespace

extern "C" Q_DECL_EXPORT RecorderCalls *halcyon_create_recorder(QObject *owner,
                                                                RecorderCalls::Events events) {
    return new FfmpegRecorderCalls(owner, std::move(events));
}
