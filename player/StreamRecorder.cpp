#include "player/StreamRecorder.h"

#include "player/FfmpegTranscoder.h"

#include <QMetaObject>

StreamRecorder::StreamRecorder(QObject *parent) : QObject(parent) {}

StreamRecorder::~StreamRecorder() {
    m_stopRequested = true;
    join();
}

void StreamRecorder::start(const QString &inputUrl, const SoutChain &chain) {
    m_stopRequested = true;
    join();
    m_stopRequested = false;
    m_recording = true;
    m_outputPath = chain.url;
    const quint64 generation = ++m_generation;

    m_thread = std::thread([this, inputUrl, chain, generation] {
        FfmpegTranscoder transcoder(inputUrl, chain, m_stopRequested,
                                    [this, generation](qint64 ms, qint64 bytes) {
                                        QMetaObject::invokeMethod(
                                            this,
                                            [this, generation, ms, bytes] {
                                                if (generation == m_generation)
                                                    emit progress(ms, bytes);
                                            },
                                            Qt::QueuedConnection);
                                    });
        const FfmpegTranscoder::Outcome outcome = transcoder.run();
        QMetaObject::invokeMethod(
            this,
            [this, generation, outcome] {
                if (generation != m_generation)
                    return;
                m_recording = false;
                emit finished(outcome.ok, outcome.message);
            },
            Qt::QueuedConnection);
    });
}

void StreamRecorder::stop() {
    m_stopRequested = true;
}

void StreamRecorder::join() {
    if (m_thread.joinable())
        m_thread.join();
}
