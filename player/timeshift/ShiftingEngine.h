#pragma once

#include "player/engine/PlayerEngine.h"
#include "player/timeshift/ReplayInput.h"
#include "player/timeshift/ShiftControl.h"
#include "player/timeshift/ShiftPosition.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class CallbackGate;
class GstPlayerEngine;
class ReplayReader;
class ShiftFeed;
class ShiftStore;

// Plays live through another engine and keeps what it receives of the watched channel (a
// ShiftStore, fed by the engine's stream tap), so the user may pause and move back through it.
// Behind live, a second engine plays from the store while the live one goes on, unheard and
// unseen, keeping; going live again is showing it. A live stream that fails behind live is told
// only once the replay has played what was kept up to its end.
class ShiftingEngine : public PlayerEngine {
    Q_OBJECT
public:
    // Opens the storage of what is kept; null, and why in the user's words, when it cannot.
    using StoreOpener = std::function<std::shared_ptr<ShiftStore>(QString *why)>;
    // The store in the user's cache folder.
    static StoreOpener cacheStore();

    ShiftingEngine(std::unique_ptr<PlayerEngine> live, StoreOpener openStore, QObject *parent = nullptr);
    ~ShiftingEngine() override;

    void play(const PlayTarget &target) override;
    void stop() override;
    void stopForRetry() override;
    void setSettings(const PipelineSettings &settings) override;
    void setNeighbours(const QStringList &addresses) override { m_live->setNeighbours(addresses); }
    void lendBox(const QString &address, std::function<void()> lent) override;
    void boxReturned(const QString &address) override { m_live->boxReturned(address); }
    void selectTracks(const QString &soundId, const QString &subtitlesId) override;
    ShiftControl *shiftControl() override;
    // The live stream's, behind live as well: it is what comes from the box.
    StreamFacts streamFacts() override { return m_live->streamFacts(); }

    PlayerEngine &live() { return *m_live; }

private:
    class Control;
    friend class Control;

    // What a failure of the live stream left to tell once the replay reaches the end.
    struct Held {
        bool ended = false;
        PlayerFailure failure = PlayerFailure::StreamInterrupted;
        QString detail;
    };

    ShiftControl::Position position() const;
    void togglePause();
    void pause();
    void resume();
    void seekBy(qint64 deltaMs);
    void seekTo(qint64 fromOldestMs);
    void toLive();

    // Why nothing can be paused now (empty when it can).
    QString unavailableWhy() const;
    void moveTo(qint64 targetNs);
    bool startReplay(qint64 fromNs, bool paused);
    GstPlayerEngine &replay();
    void stopReplay();
    // Back to live without a word: a new play, a stop.
    void dropShift();
    void applyLiveSettings();
    // The settings with the tracks chosen live found again among the replay's.
    PipelineSettings replaySettings() const;
    void setHeld(bool held);
    void onLiveFailed(PlayerFailure failure, const QString &detail);
    void onLiveEnded();
    void onReplayFailed(const QString &detail);
    void onCaughtUp(quint64 replay);
    // What was read ahead has played: live again if the live stream failed or fell silent.
    void checkEnd();
    void onOvertaken(quint64 replay);
    void tellHeld();
    qint64 oldestNs() const;

    std::unique_ptr<PlayerEngine> m_live;
    std::unique_ptr<GstPlayerEngine> m_replay;
    std::unique_ptr<Control> m_control;
    std::shared_ptr<CallbackGate> m_gate;
    StoreOpener m_openStore;
    std::shared_ptr<ShiftStore> m_store;
    std::shared_ptr<ShiftFeed> m_feed;
    // Why the store could not be opened.
    QString m_storeFault;
    std::optional<PlayTarget> m_target;
    ShiftPosition m_position;
    bool m_replaying = false;
    bool m_held = false;
    // Each replay started has a number; what an older one still says is dropped.
    quint64 m_replayNumber = 0;
    std::optional<Held> m_liveFailure;
    // Fires once what the replay read ahead of the end of what is kept has played.
    QTimer m_endCheck;
    // The live stream's tracks and the ones chosen among them (ids; empty for none), and the
    // replay's tracks once found.
    QList<StreamTrack> m_liveTracks;
    std::optional<std::pair<QString, QString>> m_chosen;
    QList<StreamTrack> m_replayTracks;
    // What the next replay input is made of (the replay engine asks for it within play()).
    std::shared_ptr<ReplayReader> m_nextReader;
    ReplayInput::Start m_nextStart;
};
