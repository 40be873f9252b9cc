#include "player/recording/FfmpegRecordingEngine.h"

FfmpegRecordingEngine::FfmpegRecordingEngine(QObject *parent) : RecordingEngine(parent) {
    connect(&m_recorder, &StreamRecorder::progress, this, &RecordingEngine::progress);
    connect(&m_recorder, &StreamRecorder::finished, this, &RecordingEngine::finished);
}

void FfmpegRecordingEngine::start(const QString &inputUrl, const SoutChain &chain) {
    m_recorder.start(inputUrl, chain);
}

void FfmpegRecordingEngine::stop() {
    m_recorder.stop();
}

QString FfmpegRecordingEngine::outputPath() const {
    return m_recorder.outputPath();
}
