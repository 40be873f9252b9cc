#include "player/recording/FfmpegRecordingEngine.h"

#include "player/recording/FfmpegTranscoder.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

namespace {

// An earlier recording under the same name (the same channel within the same second) is never
// overwritten: the new one takes the first free name "name-2.mpg", "name-3.mpg"... Only plain
// files count, so a device or a folder still gets its own error.
QString freePath(const QString &path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return path;
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate =
            info.dir().filePath(QStringLiteral("%1-%2%3").arg(info.completeBaseName()).arg(n).arg(suffix));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace

FfmpegRecordingEngine::FfmpegRecordingEngine(QObject *parent) : RecordingEngine(parent) {}

FfmpegRecordingEngine::~FfmpegRecordingEngine() {
    m_stopRequested = true;
    join();
}

void FfmpegRecordingEngine::start(const QString &inputUrl, const SoutChain &chain) {
    m_stopRequested = true;
    join();
    m_stopRequested = false;
    m_recording = true;
    m_streamLost = false;
    SoutChain destination = chain;
    destination.url = m_outputPath = freePath(chain.url);
    const quint64 generation = ++m_generation;

    m_thread = std::thread([this, inputUrl, destination, generation] {
        // The transcoder goes before finished() is told: its input, the box's session, is closed by then.
        FfmpegTranscoder::Outcome outcome;
        {
            FfmpegTranscoder transcoder(inputUrl, destination, m_stopRequested,
                                        [this, generation](qint64 ms, qint64 bytes) {
                                            QMetaObject::invokeMethod(
                                                this,
                                                [this, generation, ms, bytes] {
                                                    if (generation == m_generation)
                                                        emit progress(ms, bytes);
                                                },
                                                Qt::QueuedConnection);
                                        });
            outcome = transcoder.run();
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, outcome] {
                if (generation != m_generation)
                    return;
                m_recording = false;
                m_streamLost = outcome.streamLost;
                emit finished(outcome.ok, outcome.message);
            },
            Qt::QueuedConnection);
    });
}

void FfmpegRecordingEngine::stop() {
    m_stopRequested = true;
}

void FfmpegRecordingEngine::join() {
    if (m_thread.joinable())
        m_thread.join();
}
