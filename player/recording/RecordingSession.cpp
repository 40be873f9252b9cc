#include "player/recording/RecordingSession.h"

#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>

#include <algorithm>

RecordingSession::RecordingSession(EngineFactory makeEngine, QObject *parent)
    : QObject(parent), m_makeEngine(std::move(makeEngine)) {
    m_reaper.setObjectName(QStringLiteral("RecordingReaper"));
}

RecordingSession::~RecordingSession() {
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
    stop();
    m_current = m_makeEngine();
    RecordingEngine *engine = m_current.get();
    connect(engine, &RecordingEngine::progress, this, [this, engine](qint64 elapsedMs, qint64 bytesWritten) {
        onProgress(engine, elapsedMs, bytesWritten);
    });
    connect(engine, &RecordingEngine::finished, this,
            [this, engine](bool ok, const QString &message) { onFinished(engine, ok, message); });
    engine->start(address, chain);
    m_currentName = QFileInfo(engine->outputPath()).fileName();
    setStatus(progressText(m_currentName, 0, 0));
}

void RecordingSession::stop() {
    if (m_current) {
        m_current->stop();
        m_finishing.push_back(std::move(m_current));
    }
    setStatus(QString());
}

void RecordingSession::onProgress(RecordingEngine *engine, qint64 elapsedMs, qint64 bytesWritten) {
    if (engine != m_current.get())
        return;
    setStatus(progressText(m_currentName, elapsedMs, bytesWritten));
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
    const QString path = m_finished.back()->outputPath();
    // A file that failed while being finished says so even after the user moved on, unless a newer
    // recording's line holds the place.
    if (!ok && !m_current)
        setStatus(message);
    else if (wasCurrent)
        setStatus(QString());
    // The engine is still inside its own signal: it is let go once that has returned.
    QMetaObject::invokeMethod(this, &RecordingSession::releaseFinished, Qt::QueuedConnection);
    emit finished(path, ok, message);
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
