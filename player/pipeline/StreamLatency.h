#pragma once

#include <gst/sdp/gstsdpmessage.h>

typedef struct _GstElement GstElement;

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

// The latency is how long a tune waits before its first packet goes on, for fear of an earlier one
// still on its way; a 300 ms wait put the first picture that much after the first key frame. Packets
// that come in order are let through at once: the sinks still hold each until its time plus the
// whole latency, so sound and picture stay together and a late packet later on still has its room.
// Two packets in sequence are enough to tell that the network keeps them in order.
constexpr int kStartAfterPackets = 2;

// Sets a jitter buffer that rtspsrc made to start as soon as packets come in order.
void startEarly(GstElement *jitterBuffer);

} // namespace StreamLatency
