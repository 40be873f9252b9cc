#include "player/recording/LoadedRecordingEngine.h"

#include "player/PlayerLog.h"
#include "player/PrivateLibrary.h"
#include "player/recording/RecorderCalls.h"

namespace {

// The library's entry point, loaded once; null when it cannot be loaded (the reason is logged).
RecorderCalls::Create recorderEntry() {
    static const RecorderCalls::Create create = [] {
        QString error;
        const auto found = reinterpret_cast<RecorderCalls::Create>(
            PrivateLibrary::resolve("halcyon-recorder", RecorderCalls::kCreateName, &error));
        if (!found)
            qCWarning(lcRecording).noquote() << "recorder library not loaded:" << error;
        return found;
    }();
    return create;
}

} // namespace

LoadedRecordingEngine::LoadedRecordingEngine(QObject *parent) : RecordingEngine(parent) {
    const RecorderCalls::Create create = recorderEntry();
    if (!create)
        return;
    RecorderCalls::Events events;
    events.progress = [this](qint64 elapsedMs, qint64 bytesWritten) {
        emit progress(elapsedMs, bytesWritten);
    };
    events.finished = [this](bool ok, const QString &message) { emit finished(ok, message); };
    m_calls.reset(create(this, std::move(events)));
}

LoadedRecordingEngine::~LoadedRecordingEngine() = default;

void LoadedRecordingEngine::start(const QString &inputUrl, const SoutChain &chain) {
    if (m_calls) {
        m_calls->start(inputUrl, chain);
        return;
    }
    m_outputPath = chain.url;
    // Told from the event loop, as an engine tells its own outcome: never inside the caller's call.
    // The loader's own words are in the log, not in the picture.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit finished(
                false,
                QStringLiteral("Enregistrement impossible : bibliothèque d'enregistrement introuvable"));
        },
        Qt::QueuedConnection);
}

void LoadedRecordingEngine::stop() {
    if (m_calls)
        m_calls->stop();
}

QString LoadedRecordingEngine::outputPath() const {
    return m_calls ? m_calls->outputPath() : m_outputPath;
}

bool LoadedRecordingEngine::streamLost() const {
    return m_calls && m_calls->streamLost();
}
