#include "player/playback/StreamLatency.h"

#include <gtest/gtest.h>

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
