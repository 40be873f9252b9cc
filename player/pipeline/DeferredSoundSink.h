#pragma once

typedef struct _GstElement GstElement;

// The sound's sink for a pipeline started before the sound output is known. Searching for it
// (a connection attempt to the sound server and to each device in turn) would hold the pipeline's
// start, and with it the stream's connection. This bin takes the place of the sink at once, and
// only when the sound is about to flow (going to PAUSED, once the stream has been found to carry
// sound) does it wait for the search and put the sink found inside itself. No sound has passed by
// then, so nothing is swapped under a running stream.
namespace DeferredSoundSink {

// The sink to put inside once the sound is about to flow (floating; null for none); may block.
using Output = GstElement *(*)();

// A new bin, floating, for playbin's audio-sink.
GstElement *create(Output output);

} // namespace DeferredSoundSink
