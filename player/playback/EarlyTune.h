#pragma once

#include "player/PlayTarget.h"
#include "player/playback/PlaybackPipeline.h"

#include <QSize>
#include <memory>

// The first channel's tune, begun before the player control exists: GStreamer starts, the plugins
// load and the stream connects on threads of their own while the windows are built, and the
// control's first play of the same address with the same options takes that pipeline over instead
// of connecting anew. One at a time, for the life of the object (the main block's); a pipeline that
// nobody took is torn down with it.
class EarlyTune {
public:
    EarlyTune(const PlayTarget &target, QSize pictureBound);
    ~EarlyTune();
    EarlyTune(const EarlyTune &) = delete;
    EarlyTune &operator=(const EarlyTune &) = delete;

    // The pipeline begun for target, from now on telling events and working on thread; null when
    // none was begun for it. Whatever was asked, the early tune is over: a pipeline begun for
    // another target is torn down.
    static std::shared_ptr<PlaybackPipeline> take(const PlayTarget &target, PlaybackPipeline::Events events,
                                                  BackgroundQueue &thread);

    // An early tune exists: it loads the plugins and looks for the sound output itself.
    static bool isUnderWay();

    struct State;

private:
    std::unique_ptr<State> m_state;
};
