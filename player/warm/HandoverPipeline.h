#pragma once

#include "player/PlayerOptions.h"
#include "player/StreamTrack.h"
#include "player/pipeline/PictureSink.h"
#include "player/engine/PipelineSettings.h"

#include <functional>
#include <memory>

class PlaybackPipeline;
class WarmSource;

// The decoder of a channel that was warm: a PlaybackPipeline on the channel's ring (RingInput),
// with the hand-over's two events. start() and teardown() block: call them from pipeline threads
// (a teardown may run on another thread than the start, and before it: the pipeline then never
// starts).
class HandoverPipeline {
public:
    // All run on GStreamer threads: a picture waits in takePicture(); the stream ended or failed,
    // told once; the sound and subtitle tracks found (optional).
    struct Events {
        std::function<void()> pictureWaiting;
        std::function<void(bool error)> ended;
        std::function<void(const QList<StreamTrack> &)> tracksFound;
    };

    HandoverPipeline(std::shared_ptr<WarmSource> source, const PlayerOptions &options, Events events);
    ~HandoverPipeline();
    HandoverPipeline(const HandoverPipeline &) = delete;
    HandoverPipeline &operator=(const HandoverPipeline &) = delete;

    const std::shared_ptr<WarmSource> &source() const { return m_source; }
    PlaybackPipeline &pipeline() { return *m_pipeline; }

    void start(const PipelineSettings &settings);
    void teardown();
    void apply(const PipelineSettings &settings);
    void selectTracks(const QString &soundId, const QString &subtitlesId);
    PictureSink::Picture takePicture();

private:
    const std::shared_ptr<WarmSource> m_source;
    std::shared_ptr<PlaybackPipeline> m_pipeline;
};
