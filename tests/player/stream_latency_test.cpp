#include "player/pipeline/StreamLatency.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

// The jitter buffer's room, read from the descriptions that boxes and relays send.
namespace {

int latencyFor(const char *description) {
    GstSDPMessage *sdp = nullptr;
    gst_sdp_message_new(&sdp);
    gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(description),
                                 guint(std::strlen(description)), sdp);
    const int latency = StreamLatency::forDescription(sdp);
    gst_sdp_message_free(sdp);
    return latency;
}

constexpr const char *kHeader = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=201\r\nt=0 0\r\n";

} // namespace

TEST(StreamLatency, GivesPlainRtpVideoRoomForReorderedPicturesAndKeepsTransportStreamsShort) {
    const std::string transportStream =
        std::string(kHeader) + "m=video 0 RTP/AVP 33\r\na=rtpmap:33 MP2T/90000\r\n";
    const std::string staticTransportStream = std::string(kHeader) + "m=video 0 RTP/AVP 33\r\n";
    const std::string relayed = std::string(kHeader) +
                                "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:streamid=0\r\n"
                                "m=audio 0 RTP/AVP 14\r\na=control:streamid=1\r\n";
    const std::string radio = std::string(kHeader) + "m=audio 0 RTP/AVP 14\r\n";

    EXPECT_EQ(latencyFor(transportStream.c_str()), StreamLatency::kTransportStreamMs);
    EXPECT_EQ(latencyFor(staticTransportStream.c_str()), StreamLatency::kTransportStreamMs);
    EXPECT_EQ(latencyFor(relayed.c_str()), StreamLatency::kPlainRtpVideoMs);
    EXPECT_EQ(latencyFor(radio.c_str()), StreamLatency::kTransportStreamMs);
}

namespace {

// An RTP packet of payload type 96 with this sequence number, stamped 40 ms apart.
GstBuffer *rtpPacket(guint16 sequence) {
    const guint32 stamp = guint32(sequence) * 3600;
    guint8 packet[112] = {0x80, 96, guint8(sequence >> 8), guint8(sequence),
                          guint8(stamp >> 24), guint8(stamp >> 16), guint8(stamp >> 8), guint8(stamp),
                          0, 0, 0, 1};
    return gst_buffer_new_memdup(packet, sizeof packet);
}

} // namespace

// A latency no tune could wait out: packets in order go on anyway.
TEST(StreamLatency, PacketsInOrderGoOnWithoutWaitingOutTheLatency) {
    gst_init(nullptr, nullptr);
    GstElement *pipeline = gst_parse_launch(
        "appsrc name=in is-live=true do-timestamp=true format=time "
        "caps=application/x-rtp,media=video,clock-rate=90000,encoding-name=MPV,payload=96 ! "
        "rtpjitterbuffer name=buffer latency=600000 ! fakesink name=out sync=false",
        nullptr);
    ASSERT_NE(pipeline, nullptr);
    GstElement *buffer = gst_bin_get_by_name(GST_BIN(pipeline), "buffer");
    StreamLatency::startEarly(buffer);
    gst_object_unref(buffer);
    std::atomic<bool> out{false};
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    GstPad *pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *, gpointer data) {
            *static_cast<std::atomic<bool> *>(data) = true;
            return GST_PAD_PROBE_OK;
        },
        &out, nullptr);
    gst_object_unref(pad);
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    // Packets come in order as a stream sends them, one every 20 ms; ten minutes of latency would
    // hold the first long after the last of them, unless the buffer starts early.
    GstElement *in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    for (guint16 sequence = 100; sequence < 1100 && !out; ++sequence) {
        gst_app_src_push_buffer(GST_APP_SRC(in), rtpPacket(sequence));
        g_usleep(20000);
    }
    gst_object_unref(in);
    EXPECT_TRUE(out);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}
