#pragma once

#include "settopbox/TrackProfile.h"

#include <gst/gst.h>

#include <string>
#include <vector>

namespace halcyon::settopbox {

// The elements of a track channel's encoder that draw and encode the subtitle page on that PID.
std::string subtitleTextName(int pid);
std::string subtitleEncoderName(int pid);

// What a track channel's encoder needs beyond its launch line: each subtitle page gets its line
// and is held back between showings, and the program table gets the marks the multiplexer cannot
// write (see ProgramTableMarks). The encoder ends in the appsink "out0".
void runTracks(GstElement *pipeline, const std::vector<BoxTrack> &tracks);

} // namespace halcyon::settopbox
