#pragma once

#include <QString>

typedef struct _GstElement GstElement;

// The receiving half of a warm channel, built for whatever the server sends: one MPEG-TS over RTP
// is depayloaded as it comes; elementary streams, each an RTP session of its own, are depayloaded,
// parsed and multiplexed into one MPEG-TS (key frames flagged for random access), so that what
// comes out is the same either way and everything after it (the ring, the key-frame pictures, the
// hand-over) handles both alike.
namespace WarmPipeline {

// A pipeline, not started, receiving address over RTSP into an appsink named "sink" (sync off);
// null when an element is missing. Requests go where other clients send them when the server
// gives relative control paths (RtspControlPath).
GstElement *make(const QString &address, int latencyMs);

} // namespace WarmPipeline
