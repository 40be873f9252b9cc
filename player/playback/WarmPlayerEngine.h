#pragma once

#include "player/BackgroundQueue.h"
#include "player/playback/KeyFrameDecoder.h"
#include "player/playback/PlayerEngine.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>

class WarmSource;
class HandoverPipeline;

// Plays through another engine (the cold path) and keeps the channels that neighbour the one
// watched warm: received, not decoded (WarmSource). A play of a warm neighbour hands its held
// stream and its open session to a decoder (HandoverPipeline) instead of connecting anew. Warmth
// never costs the watched channel: it starts only once the watched channel shows (or at once while
// the user steps through the list), a neighbour refused or failing is dropped quietly and left
// alone for a while, and once the box has refused one, every warm session is closed before a cold
// tune connects. While the user steps one way quickly (a held key), more channels are kept warm
// ahead. A neighbour that is not ready, or that shows nothing soon after the hand-over, is played
// cold, so what is shown is always the channel asked for. Each warm neighbour also keeps the picture
// of its newest key frame (KeyFrameDecoder): a step to it paints that at once, and while a held key
// steps on, nothing is tuned or handed over until the key stays on one channel.
class WarmPlayerEngine : public PlayerEngine {
    Q_OBJECT
public:
    struct Timing {
        // A neighbour refused or failed is not tried again before this.
        int retryAfterMs = 30000;
        // A warm neighbour silent this long is not handed over (the box's GOP is at most a second).
        int maxSilenceMs = 500;
        // An open neighbour silent this long counts as failed.
        int stallMs = 3000;
        // A hand-over that shows no picture within this falls back to a cold tune.
        int handoverGraceMs = 1500;
        // Steps one way this close together are a held key: warmth reaches further ahead.
        int steppingGapMs = 700;
        // While a held key steps, a channel is tuned (or handed over) only once no step came for
        // this long: a session or decoder started at every repeat would be stopped again before it
        // showed anything, and would hold up the channels warming ahead.
        int heldTuneDelayMs = 200;
        // The channels a held key went through stay warm this long after the last step.
        int keepPassedMs = 5000;
    };
    // The receivers' jitter buffer for warm sessions, in milliseconds.
    static constexpr int kWarmLatencyMs = 50;
    static constexpr int kMaxNeighbours = 2;
    // Warm channels ahead while stepping one way: at ten steps a second, each gets about this many
    // tenths of a second to receive its next key frame before the user reaches it (the channel
    // list offers eight).
    static constexpr int kAheadWhileStepping = 8;
    // Warm channels ahead just after one step, until the next step shows whether a key is held.
    static constexpr int kAheadAfterOneStep = 3;
    // Channels a held key went through kept warm for a way back.
    static constexpr int kPassedKept = 4;

    explicit WarmPlayerEngine(std::unique_ptr<PlayerEngine> cold, QObject *parent = nullptr);
    ~WarmPlayerEngine() override;

    void play(const PlayTarget &target) override;
    void stop() override;
    void setVolume(int volume) override;
    // Nearest first, alternately after and before the watched row (an empty string for none).
    void setNeighbours(const QStringList &addresses) override;
    void setPictureSize(QSize size) override;

    void setTiming(const Timing &timing) { m_timing = timing; }

    // For benchmarks and tests: the addresses held warm and ready now, the bytes their rings
    // hold, the bytes they received since they opened, and whether the last play was handed over.
    QStringList warmAddresses() const;
    qsizetype bytesHeld() const;
    // The neighbours a step to which would paint their key frame now, and the bytes of the
    // key-frame pictures all of them keep.
    QStringList picturedAddresses() const;
    qsizetype pictureBytesHeld() const;
    qint64 bytesReceivedByNeighbours() const;
    bool lastPlayWasHandedOver() const { return m_lastHandedOver; }
    // Sessions asked of the box since the start, warm and cold.
    int sessionsRequested() const { return m_sessionsRequested; }

private:
    bool canHandOver(const PlayTarget &target) const;
    void stopActive();
    void startHandover(const std::shared_ptr<WarmSource> &source);
    void showKeyFramePicture(const std::shared_ptr<WarmSource> &source);
    void onHeldTuneDue();
    void startCold();
    void playColdAfterCloses();
    void fallBackToCold();
    void takeHandoverPicture(quint64 generation);
    void onHandoverEnded(quint64 generation, bool error);
    void onFirstPicture();
    void reconcile();
    void inspectSources();
    void openSource(const QString &address);
    bool closeSource(const QString &address, bool failed);
    bool closeIdleSources();
    void onSourceFailed(const std::weak_ptr<WarmSource> &source);
    bool coolingDown(const QString &address) const;
    QString activeSourceAddress() const;
    void noteStep(const QString &address);
    bool stepping() const;
    bool movingOneWay() const;
    bool boxRefusedLately() const;
    void noteRefusal();
    QStringList chooseWanted() const;

    std::unique_ptr<PlayerEngine> m_cold;
    Timing m_timing;
    // Sessions open and close, and decoders start, in order on one thread; a decoder left is torn
    // down on another, so the next one never waits for it.
    BackgroundQueue m_pipelines;
    BackgroundQueue m_teardowns;
    KeyFrameDecoder m_keyFrames;
    std::map<QString, std::shared_ptr<WarmSource>> m_sources;
    QHash<QString, qint64> m_openedAtMs;
    QHash<QString, qint64> m_retryAtMs;
    std::shared_ptr<HandoverPipeline> m_handover;
    // The warm session of the channel played while a held key steps, kept while its tune waits for
    // the key to stay.
    std::shared_ptr<WarmSource> m_heldSource;
    QTimer m_heldTune;
    std::optional<PlayTarget> m_target;
    QStringList m_wanted;
    QStringList m_offered;
    // The last step's direction (1 after, -1 before), when it came, and how many came one way.
    int m_direction = 0;
    qint64 m_lastStepMs = -1;
    int m_stepsOneWay = 0;
    QStringList m_passed;
    qint64 m_refusedUntilMs = -1;
    QElapsedTimer m_clock;
    QTimer m_inspection;
    QTimer m_handoverGrace;
    quint64 m_generation = 0;
    bool m_coldActive = false;
    bool m_coldRetried = false;
    bool m_shown = false;
    bool m_lastHandedOver = false;
    bool m_handoverFramesSeen = false;
    int m_volume = 100;
    int m_sessionsRequested = 0;
    QSize m_pictureSize;
};
