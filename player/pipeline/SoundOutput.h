#pragma once

#include <QByteArray>

typedef struct _GstElement GstElement;
typedef struct _GstObject GstObject;

// Where the sound goes. Letting each pipeline find a working sound device itself (autoaudiosink)
// tries the sound server and every device in turn, a connection attempt each, while the pipeline
// is being linked: the first picture waits for it, on every tune and every hand-over, most on a
// machine without sound. The search runs here instead, off the pipelines, and each pipeline is
// given the sink it found.
namespace SoundOutput {

// Finds the sink that works now; blocks on the connection attempts. Any thread.
void probe();
// probe(), unless one has ended or is under way.
void ensureProbed();
// The factory of the sink the last probe found, once one has ended: waits for a probe under way,
// probes when none is. Empty when nothing opened.
QByteArray awaitFound();
// A new sink for playbin's audio-sink (floating): the kind probe() found, or, before any probe
// has ended, a bin that waits for one when the sound is about to flow.
GstElement *makeSink();
// A new sink (floating) of the kind a probe found; the searching sink itself for none.
GstElement *makeFoundSink(const QByteArray &factory);
// makeFoundSink(awaitFound()): what a deferred sink puts inside once the sound is about to flow.
GstElement *awaitSink();
// The sink found no longer works: the next pipeline looks for one again, as its sound is about to
// flow. Call it once the pipeline whose sink failed has let the device go, or the search may find
// the device busy (ALSA without mixing).
void forget();
// True for an element that plays sound out (the deferred one included): its failure is the sound
// output's, not the stream's.
bool isSoundSink(GstObject *element);

} // namespace SoundOutput
