#include "player/warm/HandoverPipeline.h"

#include "player/pipeline/PlaybackPipeline.h"
#include "player/ring/RingInput.h"

#include <gst/gst.h>

HandoverPipeline::HandoverPipeline(std::shared_ptr<WarmSource> source, const PlayerOptions &options,
                                   Events events)
    : m_source(std::move(source)) {
    auto ended = std::make_shared<std::atomic<bool>>(false);
    PlaybackPipeline::Events told;
    told.pictureWaiting = events.pictureWaiting;
    told.tracksFound = events.tracksFound;
    told.finished = [ended, tell = std::move(events.ended)](const GstMessagePtr &message) {
        if (!ended->exchange(true) && tell)
            tell(GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR);
    };
    // No thread for the bus's work: the ring's clock and latency are fixed.
    m_pipeline = std::make_shared<PlaybackPipeline>(std::make_unique<RingInput>(m_source), options, nullptr,
                                                    std::move(told));
}

HandoverPipeline::~HandoverPipeline() {
    teardown();
}

void HandoverPipeline::start(const PipelineSettings &settings) {
    m_pipeline->start(settings);
}

void HandoverPipeline::teardown() {
    m_pipeline->teardown();
}

void HandoverPipeline::apply(const PipelineSettings &settings) {
    m_pipeline->apply(settings);
}

void HandoverPipeline::selectTracks(const QString &soundId, const QString &subtitlesId) {
    m_pipeline->selectTracks(soundId, subtitlesId);
}

PictureSink::Picture HandoverPipeline::takePicture() {
    return m_pipeline->takePicture();
}
