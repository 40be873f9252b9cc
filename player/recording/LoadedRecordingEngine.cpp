#include "player/recording/LoadedRecordingEngine.h"

#include "player/PlayerLog.h"
#include "player/recording/RecorderCalls.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

#include <mutex>

namespace {

constexpr const char *kLibraryName = "halcyon-recorder";

struct Library {
    RecorderCalls::Create create = nullptr;
    QString error;
};

// Loaded once and never unloaded: its classes are registered with Qt for the process's life.
const Library &library() {
    static Library loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        const QString here = QCoreApplication::applicationDirPath();
        // Beside the program in the build tree, or in the private library folder once installed;
        // the test and bench programs sit one folder below the build tree's.
        const QStringList folders{here, here + QStringLiteral("/" HALCYON_RECORDER_DIR),
                                  here + QStringLiteral("/..")};
        QStringList errors;
        for (const QString &folder : folders) {
            QLibrary candidate(QDir(folder).filePath(QLatin1String(kLibraryName)));
            if (!candidate.load()) {
                errors << candidate.errorString();
                continue;
            }
            loaded.create =
                reinterpret_cast<RecorderCalls::Create>(candidate.resolve(RecorderCalls::kCreateName));
            if (loaded.create)
                return;
            errors << candidate.errorString();
        }
        loaded.error = errors.value(0);
        qCWarning(lcRecording).noquote()
            << "recorder library not loaded:" << errors.join(QStringLiteral("; "));
    });
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
