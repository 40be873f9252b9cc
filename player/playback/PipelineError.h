#pragma once

#include "player/playback/PlayerEngine.h"

#include <QString>
#include <optional>

typedef struct _GError GError;

// What a pipeline's error means to the user, read from GStreamer's error and its debug text.
namespace PipelineError {

struct Reading {
    // None for a connection that failed: a box that is down and a host name that does not resolve
    // look alike here, and only a name look-up tells them apart.
    std::optional<PlayerFailure> failure;
    QString detail;
};

// picturesSeen: the stream had shown pictures, so whatever failed interrupted it.
Reading read(const GError *error, const char *debug, bool picturesSeen);

// The status an RTSP server refused a request with, as the RTSP source words it in its debug text;
// 0 when it names none.
int rtspStatus(const char *debug);

// The box has no session left for us: another TV, a recording, or sessions still closing.
bool meansBusy(int rtspStatus);

} // namespace PipelineError
