#include "player/recording/LoadedRecordingEngine.h"

#include "player/PlayerLog.h"
#include "player/PrivateLibrary.h"
#include "player/recording/RecorderCalls.h"

namespace {

struct Library {
    RecorderCalls::Create create = nullptr;
    QString error;
};

const Library &library() {
    static const Library loaded = [] {
        Library found;
        found.create = reinterpret_cast<RecorderCalls::Create>(
            PrivateLibrary::resolve("halcyon-recorder", RecorderCalls::kCreateName, &found.error));
        if (!found.create)
            qCWarning(lcRecording).noquote() << "recorder library not loaded:" << found.error;
        return found;
    }();
    return loaded;
}

} // namespace

LoadedRecordingEngine::LoadedRecordingEngine(QObject *parent) : RecordingEngine(parent) {
    const Library &loaded = library();
    if (!loaded.create) {
        m_loadError = loaded.error;
        return;
    }
    RecorderCalls::Events events;
    events.progress = [this](qint64 elapsedMs, qint64 bytesWritten) {
        emit progress(elapsedMs, bytesWritten);
    };
    events.finished = [this](bool ok, const QString &message) { emit finished(ok, message); };
    m_calls.reset(loaded.create(this, std::move(events)));
}

LoadedRecordingEngine::~LoadedRecordingEngine() = default;

void LoadedRecordingEngine::start(const QString &inputUrl, const SoutChain &chain) {
    if (m_calls) {
        m_calls->start(inputUrl, chain);
        return;
    }
    m_outputPath = chain.url;
    // Told from the event loop, as an engine tells its own outcome: never inside the caller's call.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit finished(false, QStringLiteral("Enregistrement impossible : bibliothèque d'enregistrement "
                                                "introuvable (%1)")
                                     .arg(m_loadError));
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
