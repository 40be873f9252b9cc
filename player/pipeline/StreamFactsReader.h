#pragma once

#include "player/engine/StreamFacts.h"

#include <gst/gst.h>

// Reads what a running pipeline knows of its stream: the coded formats at the decoders' inputs,
// what they put out, and the packets its RTP receivers counted as lost.
namespace StreamFactsReader {

// Fills the video and sound fields from the first decoder of each kind in pipeline.
void readDecoders(GstElement *pipeline, StreamFacts &facts);
// The packets lost in every RTP jitter buffer of pipeline; -1 when it has none.
qint64 lostPackets(GstElement *pipeline);

} // namespace StreamFactsReader
