#pragma once

#include "player/engine/PlayerEngine.h"
#include "player/ring/KeyFrameDecoder.h"
#include "player/warm/Handover.h"
#include "player/warm/NeighbourInspection.h"
#include "player/warm/NeighbourPolicy.h"
#include "player/warm/WarmSessions.h"
#include "player/warm/WatchRoute.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

class CallbackGate;
class TapLine;
class WarmSource;

// Plays through another engine (the cold path) and keeps the channels that neighbour the one
// watched warm: received, not decoded. The NeighbourPolicy says which channels to hold warm, the
// WarmSessions hold them, and the WatchRoute decides the watched channel's way: from its warm
// session to a decoder, or through the cold engine when it has none (or its hand-over showed
// nothing). The engine reads its sessions into each event of the route and carries out what the
// route says. A step to a channel with a warm session always uses that session, so a channel never
// has two; a cold tune asks the box only once the sessions it must give up are closed.
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
    void lendBox(const QString &address, std::function<void()> lent) override;
    void boxReturned(const QString &address) override;
    void selectTracks(const QString &soundId, const QString &subtitlesId) override;
    // The cold engine's, or the hand-over decoder's with the warm session's lost packets.
    StreamFacts streamFacts() override;

    void setTiming(const Timing &timing);
    void setPolicyRules(const NeighbourPolicy::Rules &rules) { m_policy.setRules(rules); }

    // For benchmarks and tests: the addresses held warm and ready now, the bytes their rings
    // hold, the bytes they received since they opened, and whether the last play was handed over.
    QStringList warmAddresses() const {
        return m_sessions.readyAddresses(m_timing.maxSilenceMs, activeAddress());
    }
    qsizetype bytesHeld() const { return m_sessions.bytesHeld(); }
    // The neighbours a step to which would paint their key frame now, and the bytes of the
    // key-frame pictures all of them keep.
    QStringList picturedAddresses() const { return m_sessions.picturedAddresses(m_timing.maxSilenceMs); }
    qsizetype pictureBytesHeld() const { return m_sessions.pictureBytesHeld(m_timing.maxSilenceMs); }
    qint64 bytesReceivedByNeighbours() const { return m_sessions.bytesReceived(activeAddress()); }
    bool lastPlayWasHandedOver() const { return m_route.handedOver; }
    // Sessions asked of the box since the start, warm and cold.
    int sessionsRequested() const { return m_sessionsRequested; }
    // Sessions the box holds for this player now (watched, warm, and closing), and the most so far.
    int sessionsOpen() const;
    // The same on the box of address alone.
    int sessionsOpenOn(const QString &address) const;
    int peakSessions() const { return m_peakSessions; }
    void resetPeakSessions() { m_peakSessions = sessionsOpen(); }
    HandoverState handoverState() const { return WatchRoute::handoverState(m_route); }

private:
    // What an event of the route carries besides its kind, for the actions that pass it on.
    struct Carried {
        QImage picture;
        qreal aspect = 1;
        QList<StreamTrack> tracks;
        QString detail;
    };

    bool canHandOver(const PlayTarget &target) const;
    // Asks the route what the event means now and carries out what it says.
    void dispatch(WatchRoute::Event event, const Carried &carried);
    void dispatch(WatchRoute::Event event) { dispatch(event, Carried()); }
    WatchRoute::Facts facts() const;
    void armDeadline();
    void carryOut(WatchRoute::Action action, const WatchRoute::Event &event, const Carried &carried,
                  const char *why);
    // Closes the watched channel's warm session (noted as the action says) and forgets it.
    void dropWatched(WatchRoute::Action action, const char *why);
    void showStill();
    void startDecoder();
    // The watched channel's warm session stops feeding the play's tap.
    void untapWarm();
    // Ends the play's tap: nothing more reaches it.
    void closeTap();
    void releaseCold();
    void awaitCloses();
    // The key of the watched channel's box (empty when nothing is watched).
    QString watchedBox() const;
    void tuneCold();
    void onKeyFrameWhole(const std::weak_ptr<WarmSource> &source);
    void onSourceFailed(const std::weak_ptr<WarmSource> &source, WarmFailure failure);
    void giveUp(const QString &address, WarmFailure failure);
    // The server ended a neighbour's session (why: how it told): closed, and reopened at once.
    void onEnded(const QString &address, const char *why);
    // Ends a warm session, saying why in the log.
    void closeWarm(const QString &address, const char *why);
    void reconcile();
    void inspectSources();
    // The warm session the watched channel plays from (or waits on), if any.
    QString activeAddress() const;
    NeighbourPolicy::BoxLoad loadBesides(const QString &address) const;
    // What this player holds with the box of address now: warm sessions, closes under way (warm and
    // cold), and the watched channel's own session when it is on that box and not a warm one.
    Box::Sessions sessionsOn(const QString &address) const;
    void notePeak();
    qint64 now() const { return m_clock.elapsed(); }

    std::unique_ptr<PlayerEngine> m_cold;
    Timing m_timing;
    WatchRoute::Timing m_routeTiming;
    NeighbourPolicy m_policy;
    QElapsedTimer m_clock;
    // GStreamer and closing threads reach the engine through this; closed first on the way out.
    std::shared_ptr<CallbackGate> m_gate;
    KeyFrameDecoder m_keyFrames;
    Handover m_handover;
    WarmSessions m_sessions;
    NeighbourInspection m_inspector;
    // The cold engine's sessions still closing, by address, and the address it plays.
    QHash<QString, int> m_coldClosing;
    QString m_coldAddress;
    QTimer m_inspection;
    // Fires at the route's deadline; one at a time.
    QTimer m_deadline;
    WatchRoute::State m_route;
    std::optional<PlayTarget> m_target;
    // The play's tap, fed by the warm session handed over or by the cold engine, one at a time.
    std::shared_ptr<TapLine> m_line;
    // Callbacks of an earlier play (or of none) are dropped by this.
    quint64 m_generation = 0;
    int m_sessionsRequested = 0;
    int m_peakSessions = 0;
};
