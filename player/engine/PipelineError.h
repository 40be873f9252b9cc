#pragma once

#include "player/engine/PlayerEngine.h"

#include <QString>
#include <optional>

typedef struct _GError GError;
typedef struct _GstMessage GstMessage;

// What a pipeline's error means to the user, read from GStreamer's error and its debug text.
namespace PipelineError {

struct Reading {
    // None for a connection that failed: a box that is down and a host name that does not resolve
    // look alike here, and only a name look-up tells them apart.
    std::optional<PlayerFailure> failure;
    QString detail;
};

// What an error or a warning message says, GStreamer's text and its debug text (empty when
// unsaid): the one place its parts are taken out and freed. Zeroes and empty texts for any other
// message.
struct Told {
    quint32 domain = 0;
    int code = 0;
    QString message;
    QString debug;
};
Told told(GstMessage *message);

// picturesSeen: the stream had shown pictures, so whatever failed interrupted it.
Reading read(const Told &error, bool picturesSeen);

// The status an RTSP server refused a request with, as the RTSP source words it in its debug text;
// 0 when it names none.
int rtspStatus(const QString &debug);

// The box has no session left for us: another TV, a recording, or sessions still closing.
bool meansBusy(int rtspStatus);

} // namespace PipelineError
