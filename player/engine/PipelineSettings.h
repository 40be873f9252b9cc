#pragma once

#include "player/PlayerOptions.h"
#include "player/StreamTrack.h"

#include <QSize>
#include <optional>

// How interlaced pictures are shown.
enum class Deinterlacing {
    // The top field alone (TopField): no pass over the full picture, no combing.
    TopField,
    // As they come, both fields woven.
    Off,
};

// Everything a stream is played with besides its address and its own options, as one value: the
// player control hands it to the engine, the engine to each pipeline it starts, cold or handed over,
// and PlaybackPipeline alone turns it into GStreamer's properties. A setting added here is set by
// the control and applied there; nothing between them names it.
struct PipelineSettings {
    // 0 to 200; 100 leaves the stream's own level. Muting keeps the volume for the unmute.
    int volume = 100;
    bool muted = false;
    // Which sound track and subtitles each stream plays, asked as soon as its tracks are known.
    TrackChooser tracks;
    // The jitter buffer of a stream the pipeline connects to; none: as the stream's description asks.
    std::optional<int> latencyMs;
    Deinterlacing deinterlacing = Deinterlacing::TopField;
    // The largest picture worth delivering (the size it is shown at); invalid for the stream's own.
    QSize pictureBound;

    // The level playbin is given.
    double level() const { return muted ? 0.0 : volume / 100.0; }
    // These settings for a stream queued with options: its own network caching goes before ours.
    PipelineSettings forStream(const PlayerOptions &options) const;
};
