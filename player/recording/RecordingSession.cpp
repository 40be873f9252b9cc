#include "player/recording/RecordingSession.h"

#include "player/warm/Boxes.h"

#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>

#include <algorithm>

namespace {

// How often a recording cut by the stream asks for it again: the box comes back within seconds
// when it restarts, and a refused request costs it almost nothing.
constexpr int kResumeIntervalMs = 1000;

} // namespace

RecordingSession::RecordingSession(EngineFactory makeEngine, QObject *parent)
    : QObject(parent), m_makeEngine(std::move(makeEngine)) {
    m_reaper.setObjectName(QStringLiteral("RecordingReaper"));
    m_resume.setSingleShot(true);
    m_resume.setInterval(kResumeIntervalMs);
    connect(&m_resume, &QTimer::timeout, this, &RecordingSession::startEngine);
}

RecordingSession::~RecordingSession() {
    m_resume.stop();
    if (m_current)
        m_current->stop();
    // Deleting an engine waits for its file to be finished.
    m_current.reset();
    m_finishing.clear();
    m_finished.clear();
    m_reaper.quit();
    m_reaper.wait();
}

QString RecordingSession::progressText(const QString &fileName, qint64 elapsedMs, qint64 bytesWritten) {
    const qint64 seconds = std::max<qint64>(elapsedMs, 0) / 1000;
    const auto twoDigits = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    QString time = twoDigits(seconds / 60 % 60) + QLatin1Char(':') + twoDigits(seconds % 60);
    if (seconds >= 3600)
        time = QString::number(seconds / 3600) + QLatin1Char(':') + time;

    const QLocale french(QLocale::French, QLocale::France);
    const double megabytes = std::max<qint64>(bytesWritten, 0) / 1e6;
    // Past what one decimal of megabytes shows without a thousands separator, count in gigabytes.
    const QString size = megabytes < 999.95
                             ? french.toString(megabytes, 'f', 1) + QStringLiteral("\u00a0Mo")
                             : french.toString(megabytes / 1000, 'f', 2) + QStringLiteral("\u00a0Go");
    // No-break spaces keep time and size together when a long file name wraps the line.
    return QStringLiteral("Enregistrement : %1 — %2\u00a0—\u00a0%3").arg(fileName, time, size);
}

void RecordingSession::start(const QString &address, const SoutChain &chain) {
    // The box was lent for this recording: a recording stopped here hands it straight on.
    stopCurrent();
    m_address = address;
    m_chain = chain;
    m_resumed = false;
    startEngine();
    setStatus(progressText(m_currentName, 0, 0));
}

void RecordingSession::startEngine() {
    m_current = m_makeEngine();
    RecordingEngine *engine = m_current.get();
    connect(engine, &RecordingEngine::progress, this, [this, engine](qint64 elapsedMs, qint64 bytesWritten) {
        onProgress(engine, elapsedMs, bytesWritten);
    });
    connect(engine, &RecordingEngine::finished, this,
            [this, engine](bool ok, const QString &message) { onFinished(engine, ok, message); });
    // Taken up again, the chain's file is there already: the engine picks the next free name.
    m_inputs.insert(engine, m_address);
    engine->start(m_address, m_chain);
    m_currentName = QFileInfo(engine->outputPath()).fileName();
}

void RecordingSession::stop() {
    const QString address = m_address;
    const bool held = holdsSession(address);
    stopCurrent();
    setStatus(QString());
    // A recording waiting for the stream to return held the box to the last: it is free now. One
    // still finishing says so once its file is done.
    if (held && !holdsSession(address))
        emit sessionsClosed(address);
}

void RecordingSession::stopCurrent() {
    m_resume.stop();
    if (m_current) {
        m_current->stop();
        m_finishing.push_back(std::move(m_current));
    }
}

void RecordingSession::onProgress(RecordingEngine *engine, qint64 elapsedMs, qint64 bytesWritten) {
    if (engine != m_current.get())
        return;
    QString text = progressText(m_currentName, elapsedMs, bytesWritten);
    if (m_resumed)
        text.replace(QStringLiteral("Enregistrement : "), QStringLiteral("Enregistrement repris : "));
    setStatus(text);
    emit progress(elapsedMs, bytesWritten);
}

void RecordingSession::onFinished(RecordingEngine *engine, bool ok, const QString &message) {
    const bool wasCurrent = engine == m_current.get();
    if (wasCurrent) {
        m_finished.push_back(std::move(m_current));
    } else {
        const auto it = std::find_if(m_finishing.begin(), m_finishing.end(),
                                     [engine](const auto &stopped) { return stopped.get() == engine; });
        if (it == m_finishing.end())
            return;
        m_finished.push_back(std::move(*it));
        m_finishing.erase(it);
    }
    const RecordingEngine &done = *m_finished.back();
    const QString address = m_inputs.take(engine);
    const QString path = done.outputPath();
    // The engine is still inside its own signal: it is let go once that has returned.
    QMetaObject::invokeMethod(this, &RecordingSession::releaseFinished, Qt::QueuedConnection);
    // Cut by the stream, a recording that had begun its file carries on once the stream is back; a
    // try that found it still away wrote no file and has nothing to tell.
    const bool wroteFile = QFileInfo::exists(path);
    if (wasCurrent && !ok && done.streamLost() && (wroteFile || m_resumed)) {
        if (wroteFile) {
            setStatus(message + QStringLiteral(" ; il reprendra de lui-même au retour du flux"));
            emit finished(path, ok, message);
        }
        m_resumed = true;
        m_resume.start();
        return;
    }
    if (!holdsSession(address))
        emit sessionsClosed(address);
    // A file that failed while being finished says so even after the user moved on, unless a newer
    // recording's line holds the place.
    if (!ok && !m_current)
        setStatus(message);
    else if (wasCurrent)
        setStatus(QString());
    emit finished(path, ok, message);
}

bool RecordingSession::holdsSession(const QString &address) const {
    const QString box = Boxes::keyOf(address);
    if ((m_current || m_resume.isActive()) && Boxes::keyOf(m_address) == box)
        return true;
    return std::any_of(m_finishing.cbegin(), m_finishing.cend(), [this, &box](const auto &engine) {
        return Boxes::keyOf(m_inputs.value(engine.get())) == box;
    });
}

void RecordingSession::releaseFinished() {
    if (!m_reaper.isRunning())
        m_reaper.start();
    for (std::unique_ptr<RecordingEngine> &engine : m_finished) {
        engine->disconnect(this);
        engine->moveToThread(&m_reaper);
        engine.release()->deleteLater();
    }
    m_finished.clear();
}

void RecordingSession::setStatus(const QString &text) {
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(m_status);
}
