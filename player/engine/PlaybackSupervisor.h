#pragma once

#include "player/engine/PlayerEngine.h"

#include <QObject>
#include <QTimer>
#include <optional>

// Watches what the engine does with the stream being played and tells the user in one line:
// connecting, or why it failed. A frozen stream (no frames, no error) is caught by a watchdog;
// a failed stream is tried again every few seconds until it plays or another one is asked for.
// A live stream its server ended is tuned again at once, over its last picture and without a word;
// only one that ends again before a picture came back counts as interrupted.
// A still (a picture kept from before the tune) is shown but proves nothing: until decoded video
// comes, the stream is still connecting, under the first picture's timeout.
class PlaybackSupervisor : public QObject {
    Q_OBJECT
public:
    struct Timing {
        // A playing stream silent this long counts as interrupted (the box's GOP is 0.48 s).
        int frameTimeoutMs = 3000;
        // A stream that has shown no picture this long after the request counts as not answering.
        int firstFrameTimeoutMs = 12000;
        int retryIntervalMs = 3000;
    };

    explicit PlaybackSupervisor(PlayerEngine &engine, QObject *parent = nullptr);

    void setTiming(const Timing &timing) { m_timing = timing; }
    void setAutoLoop(bool autoLoop) { m_autoLoop = autoLoop; }
    void play(const PlayTarget &target);
    void stop();
    bool isActive() const { return m_state != State::Idle; }
    // True while live pictures of the stream come in.
    bool isPlaying() const { return m_state == State::Playing; }
    // True while the stream plays its sound and has no picture to show (a radio channel).
    bool isSoundOnly() const { return m_state == State::SoundOnly; }
    QString statusText() const { return m_status; }

    static QString connectingText();
    static QString soundOnlyText();
    static QString failureText(PlayerFailure failure, const QString &detail);

signals:
    void statusChanged(const QString &text);
    void frameReady(const QImage &frame, qreal pixelAspectRatio);
    void stillReady(const QImage &frame, qreal pixelAspectRatio);
    // The picture shown so far no longer belongs to anything playing.
    void pictureCleared();

private:
    enum class State { Idle, Connecting, Playing, SoundOnly, WaitingToRetry };

    void startAttempt();
    void onFrame(const QImage &frame, qreal pixelAspectRatio);
    void onStill(const QImage &frame, qreal pixelAspectRatio);
    void onRestarted();
    void onFailed(PlayerFailure failure, const QString &detail);
    void onEndOfStream();
    void onSoundOnly();
    bool isStreaming() const;
    void fail(const QString &text);
    void setStatus(const QString &text);
    bool targetIsLive() const;

    PlayerEngine &m_engine;
    Timing m_timing;
    bool m_autoLoop = false;
    State m_state = State::Idle;
    bool m_retrying = false;
    std::optional<PlayTarget> m_target;
    QString m_status;
    QTimer m_frameWatchdog;
    QTimer m_retryTimer;
    // The user holds the picture: the stall watchdog waits.
    bool m_held = false;
};
