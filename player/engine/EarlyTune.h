#pragma once

#include "player/PlayTarget.h"
#include "player/pipeline/PlaybackPipeline.h"

#include <QSize>
#include <memory>

// The first channel's tune, begun before the player control exists: GStreamer starts, the plugins
// load and the stream connects on threads of their own while the windows are built, and the
// engine it is handed to takes that pipeline over at its first play of the same address with the
// same options instead of connecting anew. A pipeline that nobody took is torn down with it. What
// the stream brings before it is taken is held on the pipeline's tap line for the engine's tap.
class EarlyTune {
public:
    EarlyTune(const PlayTarget &target, QSize pictureBound);
    ~EarlyTune();
    EarlyTune(const EarlyTune &) = delete;
    EarlyTune &operator=(const EarlyTune &) = delete;

    // The pipeline begun for target, from now on telling events and working on thread; null when
    // none was begun for it. Whatever was asked, the early tune is over: a pipeline begun for
    // another target is torn down. The engine's thread only.
    std::shared_ptr<PlaybackPipeline> take(const PlayTarget &target, PlaybackPipeline::Events events,
                                           BackgroundQueue &thread);

    // Not taken yet: it loads the plugins and looks for the sound output itself.
    bool isUnderWay() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
