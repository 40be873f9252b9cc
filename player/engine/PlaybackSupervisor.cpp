#include "player/engine/PlaybackSupervisor.h"

#include "player/PlayerLog.h"

#include <QUrl>

PlaybackSupervisor::PlaybackSupervisor(PlayerEngine &engine, QObject *parent)
    : QObject(parent), m_engine(engine) {
    m_frameWatchdog.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    connect(&m_engine, &PlayerEngine::frameReady, this, &PlaybackSupervisor::onFrame);
    connect(&m_engine, &PlayerEngine::stillReady, this, &PlaybackSupervisor::onStill);
    connect(&m_engine, &PlayerEngine::restarted, this, &PlaybackSupervisor::onRestarted);
    connect(&m_engine, &PlayerEngine::failed, this, &PlaybackSupervisor::onFailed);
    connect(&m_engine, &PlayerEngine::endOfStream, this, &PlaybackSupervisor::onEndOfStream);
    connect(&m_engine, &PlayerEngine::soundOnly, this, &PlaybackSupervisor::onSoundOnly);
    connect(&m_engine, &PlayerEngine::held, this, [this](bool held) {
        // A held picture is the user's pause, not a stall.
        m_held = held;
        if (m_state == State::Playing && held)
            m_frameWatchdog.stop();
        else if (m_state == State::Playing)
            m_frameWatchdog.start(m_timing.frameTimeoutMs);
    });
    connect(&m_frameWatchdog, &QTimer::timeout, this, [this] {
        if (m_state == State::Playing)
            fail(failureText(PlayerFailure::StreamInterrupted, QString()));
        else if (m_state == State::Connecting)
            // A retry that stays silent says nothing new: the cause that started the retries stays.
            fail(m_retrying ? m_status : failureText(PlayerFailure::NoAnswer, QString()));
    });
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_state == State::WaitingToRetry)
            startAttempt();
    });
}

QString PlaybackSupervisor::connectingText() {
    return QStringLiteral("Connexion en cours…");
}

QString PlaybackSupervisor::soundOnlyText() {
    return QStringLiteral("Chaîne radio : son seul");
}

QString PlaybackSupervisor::failureText(PlayerFailure failure, const QString &detail) {
    switch (failure) {
    case PlayerFailure::BoxUnreachable:
        return detail.isEmpty() ? QStringLiteral("Décodeur injoignable")
                                : QStringLiteral("Décodeur injoignable (%1)").arg(detail);
    case PlayerFailure::HostUnknown:
        return QStringLiteral("Nom d'hôte inconnu : %1").arg(detail);
    case PlayerFailure::ChannelNotFound:
        return QStringLiteral("Chaîne introuvable sur le décodeur");
    case PlayerFailure::NoAnswer:
        return QStringLiteral("Le décodeur ne répond pas");
    case PlayerFailure::StreamInterrupted:
        return QStringLiteral("Flux interrompu");
    case PlayerFailure::Unplayable:
        return QStringLiteral("Lecture impossible : %1").arg(detail);
    case PlayerFailure::BoxBusy:
        return QStringLiteral("Décodeur occupé");
    }
    return QString();
}

void PlaybackSupervisor::play(const PlayTarget &target) {
    m_target = target;
    m_retrying = false;
    emit pictureCleared();
    setStatus(connectingText());
    startAttempt();
}

void PlaybackSupervisor::stop() {
    m_frameWatchdog.stop();
    m_retryTimer.stop();
    if (m_state != State::Idle)
        m_engine.stop();
    m_state = State::Idle;
    m_retrying = false;
    emit pictureCleared();
    setStatus(QString());
}

void PlaybackSupervisor::startAttempt() {
    // A retry keeps the failure on screen until a picture comes back, rather than flashing
    // "connecting" every few seconds over a box that stays down.
    m_state = State::Connecting;
    m_retryTimer.stop();
    m_frameWatchdog.start(m_timing.firstFrameTimeoutMs);
    m_engine.play(*m_target);
}

void PlaybackSupervisor::onFrame(const QImage &frame, qreal pixelAspectRatio) {
    if (!isStreaming())
        return;
    m_state = State::Playing;
    m_retrying = false;
    if (m_held)
        m_frameWatchdog.stop();
    else
        m_frameWatchdog.start(m_timing.frameTimeoutMs);
    setStatus(QString());
    emit frameReady(frame, pixelAspectRatio);
}

// Neither the state nor the watchdog move: a still that live pictures never follow fails under the
// first picture's timeout, not the stall watchdog's. Over a failure being retried, the cause stays.
void PlaybackSupervisor::onStill(const QImage &frame, qreal pixelAspectRatio) {
    if (!isStreaming())
        return;
    if (!m_retrying)
        setStatus(QString());
    emit stillReady(frame, pixelAspectRatio);
}

void PlaybackSupervisor::onRestarted() {
    if (m_state != State::Connecting && m_state != State::Playing)
        return;
    m_state = State::Connecting;
    m_frameWatchdog.start(m_timing.firstFrameTimeoutMs);
}

void PlaybackSupervisor::onFailed(PlayerFailure failure, const QString &detail) {
    if (!isStreaming())
        return;
    fail(failureText(failure, detail));
}

// A stream with sound and no picture plays: no picture will ever come to feed the watchdog, so the
// line says what the user hears instead, and only an error or the end stops it.
void PlaybackSupervisor::onSoundOnly() {
    if (m_state != State::Connecting)
        return;
    m_state = State::SoundOnly;
    m_retrying = false;
    m_frameWatchdog.stop();
    setStatus(soundOnlyText());
}

bool PlaybackSupervisor::isStreaming() const {
    return m_state == State::Connecting || m_state == State::Playing || m_state == State::SoundOnly;
}

void PlaybackSupervisor::onEndOfStream() {
    if (!isStreaming())
        return;
    if (m_autoLoop) {
        startAttempt();
    } else if (targetIsLive() && m_state != State::Connecting) {
        // A live broadcast has no end: its server ended the session, which is no fault. It is tuned
        // again at once, the last picture and the line left as they are.
        qCInfo(lcPlayer) << "the server ended the session: tuning again";
        startAttempt();
    } else if (targetIsLive()) {
        // Ended again before a picture came back: the server drops it.
        fail(failureText(PlayerFailure::StreamInterrupted, QString()));
    } else {
        stop();
    }
}

void PlaybackSupervisor::fail(const QString &text) {
    m_frameWatchdog.stop();
    m_engine.stopForRetry();
    m_state = State::WaitingToRetry;
    m_retrying = true;
    emit pictureCleared();
    setStatus(text);
    m_retryTimer.start(m_timing.retryIntervalMs);
}

void PlaybackSupervisor::setStatus(const QString &text) {
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(m_status);
}

bool PlaybackSupervisor::targetIsLive() const {
    const QString scheme = QUrl(m_target->address).scheme().toLower();
    return scheme.startsWith(QLatin1String("rtsp")) || scheme == QLatin1String("udp") ||
           scheme == QLatin1String("rtp") || scheme.startsWith(QLatin1String("http"));
}
