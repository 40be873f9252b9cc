#pragma once

#include "player/BackgroundQueue.h"
#include "player/playback/HostLookup.h"
#include "player/playback/PlaybackBus.h"
#include "player/playback/PlayerEngine.h"

#include <QSize>
#include <QString>
#include <memory>

class PlaybackPipeline;

// Plays through GStreamer, one PlaybackPipeline per stream: pictures and the bus's news reach the
// owning thread by queued calls. Starting and tearing pipelines down runs on a thread of its own,
// so no call here waits on the network. Each pipeline carries a number; whatever a replaced one
// still had in flight arrives with a stale number and is dropped.
class GstPlayerEngine : public PlayerEngine {
    Q_OBJECT
public:
    // Initialises GStreamer; throws EOleException when it or a plugin the box's streams need is missing.
    explicit GstPlayerEngine(QObject *parent = nullptr);
    ~GstPlayerEngine() override;

    void play(const PlayTarget &target) override;
    void stop() override;
    void setVolume(int volume) override;
    void setPictureSize(QSize size) override;
    // Lent once the stopped pipeline's teardown (and its TEARDOWN to the box) is done.
    void lendBox(const QString &address, std::function<void()> lent) override;
    void selectTracks(const QString &soundId, const QString &subtitlesId) override;
    void setTrackChooser(TrackChooser chooser) override { m_chooser = std::move(chooser); }

    // Blocks until every pipeline started or stopped so far has finished changing state.
    void waitForPipelines();

    // Pipelines created and not yet freed, in the whole process: a zapping player must not
    // keep the ones it left.
    static int livePipelines();

private:
    void tune(const PlayTarget &target);
    void takePicture(quint64 generation);
    void onFinished(quint64 generation, const GstMessagePtr &message);
    void onStreamsKnown(int pictures, int sounds, bool undecodable);
    void onError(GstMessage *message);
    void onSoundFailed();
    void reportConnectionFailure();
    void report(PlayerFailure failure, const QString &detail);
    // Runs what on this engine's thread, for the pipeline numbered generation only.
    void later(quint64 generation, std::function<void()> what);

    BackgroundQueue m_pipelines;
    // Loads the plugins ahead of the first tune.
    BackgroundQueue m_plugins;
    HostLookup m_lookups{this};
    std::shared_ptr<PlaybackPipeline> m_current;
    bool m_wantsPictures = true;
    PlayTarget m_target;
    // The sound sink failed: the one found is forgotten once its pipeline has let the device go.
    bool m_soundFailed = false;
    // This play has been tuned anew once already for the sound output's sake.
    bool m_soundRetried = false;
    quint64 m_generation = 0;
    bool m_framesSeen = false;
    bool m_failureReported = false;
    int m_volume = 100;
    QSize m_pictureSize;
    TrackChooser m_chooser;
};
