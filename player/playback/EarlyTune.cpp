#include "player/playback/EarlyTune.h"

#include "player/StartupTrace.h"
#include "player/playback/GstPlugins.h"
#include "player/playback/SoundOutput.h"

#include <gst/gst.h>

#include <mutex>

namespace {

// The pipeline begins at the control's own starting volume (50 of 200); the control sets its own
// when it takes the pipeline over.
constexpr double kStartingVolume = 0.5;

std::mutex s_mutex;
EarlyTune::State *s_current = nullptr;

} // namespace

struct EarlyTune::State {
    PlayTarget target;
    std::shared_ptr<PlaybackPipeline> pipeline;
    // Declared last, gone first: their threads stop before the pipeline they serve is released.
    BackgroundQueue plugins;
    BackgroundQueue thread;
};

EarlyTune::EarlyTune(const PlayTarget &target, QSize pictureBound) : m_state(std::make_unique<State>()) {
    m_state->target = target;
    m_state->pipeline = std::make_shared<PlaybackPipeline>(PlaybackPipeline::uriFor(target.address),
                                                           target.options, m_state->thread);
    {
        std::lock_guard lock(s_mutex);
        s_current = m_state.get();
    }
    State *state = m_state.get();
    std::shared_ptr<PlaybackPipeline> pipeline = m_state->pipeline;
    m_state->thread.post([state, pipeline, pictureBound] {
        // Without GStreamer the control reports it when it is built; nothing begins here.
        if (!gst_init_check(nullptr, nullptr, nullptr))
            return;
        StartupTrace::mark("gstreamer initialised");
        // The decoders load once the stream flows, while it waits for its first key frame: loaded
        // earlier, they would hold the connection's threads in the dynamic loader.
        pipeline->whenStreamArrives([] {
            std::lock_guard lock(s_mutex);
            if (s_current)
                s_current->plugins.post(&GstPlugins::preloadForPictures);
        });
        // The pipeline starts without waiting for the sound output, which is looked for meanwhile.
        pipeline->start(kStartingVolume, pictureBound);
        state->plugins.post(&GstPlugins::preloadForConnection);
        state->plugins.post(&SoundOutput::ensureProbed);
    });
}

EarlyTune::~EarlyTune() {
    {
        std::lock_guard lock(s_mutex);
        if (s_current == m_state.get())
            s_current = nullptr;
    }
    if (std::shared_ptr<PlaybackPipeline> pipeline = std::move(m_state->pipeline)) {
        pipeline->cancel();
        m_state->thread.post([pipeline] { pipeline->teardown(); });
    }
}

bool EarlyTune::isUnderWay() {
    std::lock_guard lock(s_mutex);
    return s_current != nullptr;
}

std::shared_ptr<PlaybackPipeline> EarlyTune::take(const PlayTarget &target, PlaybackPipeline::Events events,
                                                  BackgroundQueue &thread) {
    std::shared_ptr<PlaybackPipeline> pipeline;
    {
        std::lock_guard lock(s_mutex);
        if (!s_current)
            return nullptr;
        pipeline = std::move(s_current->pipeline);
        if (!pipeline)
            return nullptr;
        if (target.address != s_current->target.address || !(target.options == s_current->target.options)) {
            pipeline->cancel();
            s_current->thread.post([pipeline] { pipeline->teardown(); });
            return nullptr;
        }
    }
    pipeline->moveTo(thread);
    pipeline->adopt(std::move(events));
    return pipeline;
}
