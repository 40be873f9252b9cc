#pragma once

// The GStreamer elements the box's streams need, checked once and loaded ahead of the first tune.
namespace GstPlugins {

// Initialises GStreamer; throws EOleException when it or a required element is missing.
void ensureAvailable();
// Loads every element a stream may need, so the first tune does not wait for it, and finds the
// sound output.
void preload();
// The same in two parts: the elements that receive and demultiplex the stream, then the decoders
// and the rest. The decoders' library and FFmpeg's are the largest load by far, and only one
// library loads at a time in a process: the first tune loads them once its stream flows, while it
// waits for its first key frame, not while its connection, its first packets (whose elements
// load too) or the windows wait for their own.
void preloadForConnection();
void preloadForPictures();

} // namespace GstPlugins
