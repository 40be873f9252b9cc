#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

namespace halcyon::settopbox {

// What one channel sends: the encoder it runs from start-up and how a viewer receives it.
// The encoder's pipeline ends in appsinks out0, out1...; a viewer's pipeline starts with appsrcs
// src0, src1... fed from them one to one, and holds the payloaders pay0, pay1...
struct StreamProfile {
    std::string name;
    // True when the viewer gets the streams in an MPEG-TS, false for one RTP session per stream.
    bool transportStream = true;
    int outputs = 1;
    // The textoverlay "number" slides left and right, so interlaced fields differ visibly.
    bool movingNumber = false;
    // The capsfilter "shape" switches between 4:3 and 16:9 pixel shapes every few seconds.
    bool switchesAspect = false;
    // An MPEG-2 encoder outside GStreamer feeds the appsrc "mpeg2" with pictures it takes from a
    // pipeline of their own, mpeg2PictureLaunch(), ending in the appsink "raw".
    bool mpeg2Bridge = false;
    // A few seconds encoded once at start-up feed the appsrcs "loop0" and "loop1" over and over:
    // see EncodedLoop and encodedLoopLaunch().
    bool encodedLoop = false;
};

inline const char *const kDefaultProfile = "broadcast";

// Null when no profile has that name.
const StreamProfile *findProfile(const std::string &name);
std::vector<std::string> profileNames();

std::string encoderLaunch(const StreamProfile &profile, int number);
std::string viewerLaunch(const StreamProfile &profile);
std::string mpeg2PictureLaunch(int number);
// The encoder of a looped channel, run once: it ends in the appsinks "loop0" and "loop1".
std::string encodedLoopLaunch(int number);
// Makes the textoverlay "number" of a running picture slide left and right.
void slideNumber(GstElement *pipeline);

} // namespace halcyon::settopbox
