#pragma once

typedef struct _GstElement GstElement;

// Where the sound goes. Letting each pipeline find a working sound device itself (autoaudiosink)
// tries the sound server and every device in turn, a connection attempt each, while the pipeline
// is being linked: the first picture waits for it, on every tune and every hand-over, most on a
// machine without sound. The search runs here instead, off the pipelines, and each pipeline is
// given the sink it found.
namespace SoundOutput {

// Finds the sink that works now; blocks on the connection attempts. Any thread.
void probe();
// A new sink for playbin's audio-sink (floating): the kind probe() found, or, before any probe,
// the searching sink itself.
GstElement *makeSink();

} // namespace SoundOutput
