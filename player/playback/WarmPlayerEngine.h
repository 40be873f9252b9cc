#pragma once

#include "player/BackgroundQueue.h"
#include "player/playback/Handover.h"
#include "player/playback/KeyFrameDecoder.h"
#include "player/playback/NeighbourPolicy.h"
#include "player/playback/PlayerEngine.h"
#include "player/playback/WarmSessions.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

class CallbackGate;
class WarmSource;

// Plays through another engine (the cold path) and keeps the channels that neighbour the one
// watched warm: received, not decoded. It dispatches between four parts: the NeighbourPolicy says
// which channels to hold warm, the WarmSessions hold them, the Handover takes the watched one from
// its warm session to a decoder, and the cold engine tunes whatever has no warm session (or whose
// hand-over showed nothing). A step to a channel with a warm session always uses that session, so a
// channel never has two; a cold tune asks the box only once the sessions it must give up are closed.
class WarmPlayerEngine : public PlayerEngine {
    Q_OBJECT
public:
    struct Timing {
        // A neighbour that broke or was refused is not tried again before this.
        int retryAfterMs = 30000;
        // A warm neighbour silent this long is not handed over (the box's GOP is at most a second).
        int maxSilenceMs = 500;
        // A warm neighbour that was ready and has been silent this long counts as broken.
        int stallMs = 3000;
        // A hand-over that shows no picture within this (or a warm session that holds no whole key
        // frame within this of the step) falls back to a cold tune.
        int handoverGraceMs = 1500;
        // Steps one way this close together are a held key: warmth reaches further ahead.
        int steppingGapMs = 700;
        // While a held key steps, a channel is tuned (or handed over) only once no step came for
        // this long: a session or decoder started at every repeat would be stopped again before it
        // showed anything, and would hold up the channels warming ahead.
        int heldTuneDelayMs = 200;
        // The longest a tune waits for a recording to give the box back.
        int boxReturnMs = 5000;
        // A refusal this soon after the box came back may be the box still ending the recording's
        // session: the tune is asked again once, this much later, without a word to the user.
        int returnGraceMs = 1000;
        int returnRetryMs = 250;
    };
    // The receivers' jitter buffer for warm sessions, in milliseconds.
    static constexpr int kWarmLatencyMs = 50;

    explicit WarmPlayerEngine(std::unique_ptr<PlayerEngine> cold, QObject *parent = nullptr);
    // Ends every session together and waits for the box under a deadline, not one after another.
    ~WarmPlayerEngine() override;

    void play(const PlayTarget &target) override;
    void stop() override;
    // Keeps the neighbours warm: the same channel is played again in a moment.
    void stopForRetry() override;
    // Handed to the cold engine and to the hand-over's decoder alike.
    void setSettings(const PipelineSettings &settings) override;
    // Nearest first, alternately after and before the watched row (an empty string for none).
    void setNeighbours(const QStringList &addresses) override;
    void lendBox(std::function<void()> lent) override;
    void boxReturned() override;
    void selectTracks(const QString &soundId, const QString &subtitlesId) override;

    void setTiming(const Timing &timing);
    void setPolicyRules(const NeighbourPolicy::Rules &rules) { m_policy.setRules(rules); }

    // For benchmarks and tests: the addresses held warm and ready now, the bytes their rings
    // hold, the bytes they received since they opened, and whether the last play was handed over.
    QStringList warmAddresses() const {
        return m_sessions.readyAddresses(m_timing.maxSilenceMs, m_handover.address());
    }
    qsizetype bytesHeld() const { return m_sessions.bytesHeld(); }
    // The neighbours a step to which would paint their key frame now, and the bytes of the
    // key-frame pictures all of them keep.
    QStringList picturedAddresses() const { return m_sessions.picturedAddresses(m_timing.maxSilenceMs); }
    qsizetype pictureBytesHeld() const { return m_sessions.pictureBytesHeld(m_timing.maxSilenceMs); }
    qint64 bytesReceivedByNeighbours() const { return m_sessions.bytesReceived(m_handover.address()); }
    bool lastPlayWasHandedOver() const { return m_lastHandedOver; }
    // Sessions asked of the box since the start, warm and cold.
    int sessionsRequested() const { return m_sessionsRequested; }
    // Sessions the box holds for this player now (watched, warm, and closing), and the most so far.
    int sessionsOpen() const;
    int peakSessions() const { return m_peakSessions; }
    void resetPeakSessions() { m_peakSessions = sessionsOpen(); }
    HandoverState handoverState() const { return m_handover.state(); }

private:
    // The cold path's way to the box: waiting for closes, for the box back from a recording, tuning.
    enum class ColdState { Off, AwaitingCloses, AwaitingBox, Tuning };

    bool canHandOver(const PlayTarget &target) const;
    void stopActive();
    void proceedWith(const std::shared_ptr<WarmSource> &source);
    void startHandover(const std::shared_ptr<WarmSource> &source);
    void showStill(const std::shared_ptr<WarmSource> &source);
    void onHandoverTimedOut(HandoverState state);
    void fallBack(const char *why, bool ended = false);
    void dropHandoverPipeline();
    void startCold();
    void tuneColdWhenFree();
    void tuneCold();
    void onColdFailed(PlayerFailure failure, const QString &detail);
    bool retryAfterReturn(PlayerFailure failure);
    void takeHandoverPicture(quint64 generation);
    void onHandoverEnded(quint64 generation, bool error);
    void onFirstPicture();
    void onKeyFrameWhole(const std::weak_ptr<WarmSource> &source);
    void onSourceFailed(const std::weak_ptr<WarmSource> &source, WarmFailure failure);
    void giveUp(const QString &address, WarmFailure failure);
    // The server ended a neighbour's session (why: how it told): closed, and reopened at once.
    void onEnded(const QString &address, const char *why);
    // Ends a warm session, saying why in the log.
    void closeWarm(const QString &address, const char *why);
    void reconcile();
    void inspectSources();
    NeighbourPolicy::BoxLoad loadBesides(const QString &address) const;
    void notePeak();
    qint64 now() const { return m_clock.elapsed(); }

    std::unique_ptr<PlayerEngine> m_cold;
    Timing m_timing;
    NeighbourPolicy m_policy;
    QElapsedTimer m_clock;
    // GStreamer and closing threads reach the engine through this; closed first on the way out.
    std::shared_ptr<CallbackGate> m_gate;
    KeyFrameDecoder m_keyFrames;
    // Decoders start in order on one thread; a decoder left is torn down on another, so the next
    // one never waits for it.
    BackgroundQueue m_pipelines;
    BackgroundQueue m_teardowns;
    WarmSessions m_sessions;
    Handover m_handover;
    // When each open neighbour's first packet was seen (by the inspection), and which were ready once.
    QHash<QString, qint64> m_firstPacketMs;
    QSet<QString> m_everReady;
    // The cold engine's sessions still closing, by address.
    QHash<QString, int> m_coldClosing;
    QTimer m_inspection;
    QTimer m_boxWait;
    std::optional<PlayTarget> m_target;
    quint64 m_generation = 0;
    ColdState m_coldState = ColdState::Off;
    bool m_coldRetried = false;
    // When a recording last gave the box back, and whether this play was refused since.
    qint64 m_boxReturnedAtMs = -1;
    bool m_returnRetried = false;
    // The watched channel failed and is being tried again: its first picture says the box is back.
    bool m_recovering = false;
    bool m_shown = false;
    bool m_lastHandedOver = false;
    int m_sessionsRequested = 0;
    int m_peakSessions = 0;
};
