#pragma once

// The GStreamer elements the box's streams need, checked once and loaded ahead of the first tune.
namespace GstPlugins {

// Initialises GStreamer; throws EOleException when it or a required element is missing.
void ensureAvailable();
// Loads every element a stream may need, so the first tune does not wait for it, and finds the
// sound output.
void preload();

} // namespace GstPlugins
