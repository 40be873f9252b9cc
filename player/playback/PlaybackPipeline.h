#pragma once

#include "player/BackgroundQueue.h"
#include "player/PlayerOptions.h"
#include "player/playback/PictureSink.h"
#include "player/playback/PlaybackBus.h"

#include <QByteArray>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>

typedef struct _GstRTSPMessage GstRTSPMessage;

// One playbin playing one stream, from its start to its teardown. Everything that changes the
// pipeline's state runs on the pipeline thread it is given, so no call from the window waits on the
// network; what the pipeline has to say goes out through Events, on GStreamer's threads.
class PlaybackPipeline : public PlaybackBus::Owner, public std::enable_shared_from_this<PlaybackPipeline> {
public:
    struct Events {
        std::function<void()> pictureWaiting;
        std::function<void(const GstMessagePtr &)> finished;
        // undecodable: some stream found has no decoder here, so "no picture" may be a picture lost.
        std::function<void(int pictures, int sounds, bool undecodable)> streamsKnown;
    };

    PlaybackPipeline(QByteArray uri, PlayerOptions options, BackgroundQueue &thread, Events events);
    ~PlaybackPipeline();
    PlaybackPipeline(const PlaybackPipeline &) = delete;
    PlaybackPipeline &operator=(const PlaybackPipeline &) = delete;

    // On the pipeline thread.
    void start(double volume, QSize pictureBound);
    void teardown();
    void setVolume(double volume);
    void setPictureBound(QSize bound);

    // Any thread: work still queued for this pipeline is skipped from now on.
    void cancel() { m_cancelled = true; }
    PictureSink::Picture takePicture() { return m_pictures.take(); }

    // Pipelines created and not yet freed, in the whole process.
    static int live();

private:
    void finished(const GstMessagePtr &message) override;
    void recalculateLatency() override;
    void reselectClock() override;
    void streamsSettled() override;
    // The language a sound track is in, two letters where it has them; "?" when it does not say.
    QByteArray languageOfSound(int track) const;
    void decoderMissing() override { m_decoderMissing = true; }
    // Runs task on the pipeline thread while this pipeline is still wanted.
    void onPipelineThread(std::function<void(GstElement *)> task);

    static void onSourceSetup(GstElement *playbin, GstElement *source, PlaybackPipeline *self);
    static void onElementSetup(GstElement *playbin, GstElement *element, PlaybackPipeline *self);
    static int onBeforeSend(GstElement *source, GstRTSPMessage *message, PlaybackPipeline *self);

    const QByteArray m_uri;
    const PlayerOptions m_options;
    BackgroundQueue &m_thread;
    const Events m_events;
    PictureSink m_pictures;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_decoderMissing{false};
    GstElement *m_pipeline = nullptr;
};
