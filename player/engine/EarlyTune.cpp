#include "player/engine/EarlyTune.h"

#include "player/StartupTrace.h"
#include "player/engine/GstPlugins.h"
#include "player/engine/TapLine.h"
#include "player/pipeline/SoundOutput.h"

#include <gst/gst.h>

namespace {

// The pipeline begins at the control's own starting volume (50 of 200); the control sets its own
// when it takes the pipeline over.
constexpr int kStartingVolume = 50;

} // namespace

struct EarlyTune::State {
    PlayTarget target;
    std::shared_ptr<PlaybackPipeline> pipeline;
    // Declared last, gone first: their threads stop before the pipeline they serve is released.
    // The plugins' thread is shared with the stream's first packet, which may come after this goes.
    std::shared_ptr<BackgroundQueue> plugins = std::make_shared<BackgroundQueue>();
    BackgroundQueue thread;
};

EarlyTune::EarlyTune(const PlayTarget &target, QSize pictureBound) : m_state(std::make_shared<State>()) {
    m_state->target = target;
    m_state->pipeline = std::make_shared<PlaybackPipeline>(PlaybackPipeline::uriFor(target.address),
                                                           target.options, m_state->thread);
    // What comes before the engine takes the pipeline over is held for its tap.
    m_state->pipeline->tapInto(std::make_shared<TapLine>());
    std::shared_ptr<PlaybackPipeline> pipeline = m_state->pipeline;
    PipelineSettings settings;
    settings.volume = kStartingVolume;
    settings.pictureBound = pictureBound;
    m_state->thread.post([plugins = m_state->plugins, pipeline, settings] {
        // Without GStreamer the control reports it when it is built; nothing begins here.
        if (!gst_init_check(nullptr, nullptr, nullptr))
            return;
        StartupTrace::mark("gstreamer initialised");
        // The decoders load once the stream flows, while it waits for its first key frame: loaded
        // earlier, they would hold the connection's threads in the dynamic loader.
        pipeline->whenStreamArrives([weak = std::weak_ptr<BackgroundQueue>(plugins)] {
            if (const std::shared_ptr<BackgroundQueue> plugins = weak.lock())
                plugins->post(&GstPlugins::preloadForPictures);
        });
        // The pipeline starts without waiting for the sound output, which is looked for meanwhile.
        pipeline->start(settings);
        plugins->post(&GstPlugins::preloadForConnection);
        plugins->post(&SoundOutput::ensureProbed);
    });
}

EarlyTune::~EarlyTune() {
    if (std::shared_ptr<PlaybackPipeline> pipeline = std::move(m_state->pipeline)) {
        pipeline->cancel();
        m_state->thread.post([pipeline] { pipeline->teardown(); });
    }
}

bool EarlyTune::isUnderWay() const {
    return m_state->pipeline != nullptr;
}

std::shared_ptr<PlaybackPipeline> EarlyTune::take(const PlayTarget &target, PlaybackPipeline::Events events,
                                                  BackgroundQueue &thread) {
    std::shared_ptr<PlaybackPipeline> pipeline = std::move(m_state->pipeline);
    if (!pipeline)
        return nullptr;
    if (target.address != m_state->target.address || !(target.options == m_state->target.options)) {
        pipeline->cancel();
        m_state->thread.post([pipeline] { pipeline->teardown(); });
        return nullptr;
    }
    pipeline->moveTo(thread);
    pipeline->adopt(std::move(events));
    return pipeline;
}
