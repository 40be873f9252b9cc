#pragma once

#include <QByteArray>

typedef struct _GstElement GstElement;

// The sound sink of a pipeline built while the sound output is still being looked for (the
// start-up channel, which connects while the program starts): a bin that drops the sound in time
// with the picture until the search ends, then plays it on the output found. Playbin readies its
// sinks before it connects, so a searching sink there would hold up the connection by every
// attempt the search makes; this one is ready at once.
namespace PendingSoundSink {

// A new bin (floating), for playbin's audio-sink.
GstElement *create();
// From now on the sound reaching bin plays on a new element of factory, converted to what it
// takes. "fakesink" keeps dropping it; an empty factory searches (autoaudiosink). Any thread;
// call once per bin.
void resolve(GstElement *bin, const QByteArray &factory);

} // namespace PendingSoundSink
