#pragma once

#include <gst/sdp/gstsdpmessage.h>

// How long the RTP jitter buffer holds packets for a channel, chosen from the stream's description.
namespace StreamLatency {

// MPEG-TS over RTP carries its own timestamps inside and comes with RTP timestamps that only
// rise: a home network's jitter fits in 100 ms. Video sent as plain RTP stamps each picture with its
// presentation time, so with B-frames the timestamps run up to a few pictures backwards in the
// order sent. The jitter buffer takes a picture whose stamp lies further back than its latency for
// a late one and resets, losing the pictures up to the next key frame, about once a second: such
// streams get room for the reordering of broadcast encoders.
constexpr int kTransportStreamMs = 100;
constexpr int kPlainRtpVideoMs = 300;

int forDescription(const GstSDPMessage *sdp);

} // namespace StreamLatency
