#pragma once

#include "player/BackgroundQueue.h"
#include "player/engine/HostLookup.h"
#include "player/engine/PlayerEngine.h"
#include "player/pipeline/PlaybackBus.h"

#include <QString>
#include <functional>
#include <memory>

class CallbackGate;
class EarlyTune;
class PlaybackInput;
class PlaybackPipeline;
class TapLine;

// Plays through GStreamer, one PlaybackPipeline per stream: pictures and the bus's news reach the
// owning thread through a CallbackGate. Starting and tearing pipelines down runs on a thread of its
// own, so no call here waits on the network. Each pipeline carries a number; whatever a replaced
// one still had in flight arrives with a stale number and is dropped.
class GstPlayerEngine : public PlayerEngine {
    Q_OBJECT
public:
    // Initialises GStreamer; throws EOleException when it or a plugin the box's streams need is
    // missing. The first play takes early's pipeline over when it was begun for the same target.
    explicit GstPlayerEngine(EarlyTune *early = nullptr, QObject *parent = nullptr);
    // Plays what inputs makes of each target instead of its address.
    using InputFactory = std::function<std::unique_ptr<PlaybackInput>(const PlayTarget &)>;
    explicit GstPlayerEngine(InputFactory inputs, QObject *parent = nullptr);
    ~GstPlayerEngine() override;

    void play(const PlayTarget &target) override;
    void stop() override;
    void setSettings(const PipelineSettings &settings) override;
    // Lent once the stopped pipeline's teardown (and its TEARDOWN to the box) is done.
    void lendBox(const QString &address, std::function<void()> lent) override;
    void selectTracks(const QString &soundId, const QString &subtitlesId) override;
    // Holds the stream playing or plays it on, for an input that is not live.
    void setPaused(bool paused);
    StreamFacts streamFacts() override;

    // Blocks until every pipeline started or stopped so far has finished changing state.
    void waitForPipelines();

    // Pipelines created and not yet freed, in the whole process: a zapping player must not
    // keep the ones it left.
    static int livePipelines();

private:
    // What one tune has learned so far; a tune anew starts from a new one.
    struct Tune {
        PlayTarget target;
        // This play has been tuned anew once already for the sound output's sake.
        bool soundRetried = false;
        // The sound sink failed: the one found is forgotten once its pipeline has let the device go.
        bool soundFailed = false;
        bool framesSeen = false;
        bool failureReported = false;
        bool wantsPictures() const { return target.options.video; }
    };

    void tune(const PlayTarget &target, bool soundRetried);
    void takePicture();
    void onFinished(const GstMessagePtr &message);
    void onStreamsKnown(int pictures, int sounds, bool undecodable);
    void onError(GstMessage *message);
    void onSoundFailed();
    void reportConnectionFailure();
    void report(PlayerFailure failure, const QString &detail);
    // Runs what on this engine's thread, for the pipeline numbered generation only.
    void later(quint64 generation, std::function<void()> what);

    // Closed first on the way out: nothing reaches the engine from its pipelines' threads after.
    std::shared_ptr<CallbackGate> m_gate;
    EarlyTune *m_early = nullptr;
    InputFactory m_inputs;
    BackgroundQueue m_pipelines;
    // Loads the plugins ahead of the first tune.
    BackgroundQueue m_plugins;
    HostLookup m_lookups{this};
    std::shared_ptr<PlaybackPipeline> m_current;
    // The tap of the play under way (a tune anew for the sound's sake keeps it), and the line of
    // the pipeline playing, closed as it stops.
    StreamTap m_playTap;
    std::shared_ptr<TapLine> m_line;
    Tune m_tune;
    quint64 m_generation = 0;
};
