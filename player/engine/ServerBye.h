#pragma once

#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef unsigned int guint;

// A server may end a session on its own with an RTCP BYE and send nothing more on it. rtspsrc turns
// only a BYE naming the session's SSRC into an end of stream; one naming another SSRC (servers send
// 0) leaves the session silent. Every BYE is told on the pipeline's bus as an element message, so
// that both read as the session ended by the server.
namespace ServerBye {

// Makes rtspsrc post the message for every BYE its sessions receive, whatever SSRC it names.
void watch(GstElement *rtspsrc);
// The SSRC the BYE named, when message is one watch() posted.
std::optional<guint> ssrcOf(GstMessage *message);

} // namespace ServerBye
