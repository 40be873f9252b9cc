#include "player/pipeline/FrameStamping.h"
#include "player/ring/RtpStreamChain.h"

#include <QList>
#include <gst/gst.h>
#include <gtest/gtest.h>

// How a warm channel sent as elementary streams over RTP is taken apart before it is multiplexed.
namespace {

TEST(RtpStreamChain, EveryStreamAPlayerShowsOrPlaysHasAChainThatBuildsHere) {
    gst_init(nullptr, nullptr);
    const QList<std::pair<QByteArray, QByteArray>> streams = {
        {"video", "H264"}, {"video", "h265"},      {"video", "MPV"},          {"audio", "MPA"},
        {"audio", "AC3"},  {"audio", "MP4A-LATM"}, {"audio", "mpeg4-generic"}};
    for (const auto &[media, name] : streams) {
        const QByteArray description = RtpStreamChain::forStream(media, name);
        ASSERT_FALSE(description.isEmpty()) << name.constData();
        GError *error = nullptr;
        GstElement *bin = gst_parse_bin_from_description(description.constData(), TRUE, &error);
        EXPECT_EQ(error, nullptr) << description.constData() << ": " << (error ? error->message : "");
        g_clear_error(&error);
        if (bin)
            gst_object_unref(bin);
    }
    // Not carried: a stream the player neither shows nor plays, a name under the wrong media.
    EXPECT_TRUE(RtpStreamChain::forStream("application", "VND.ONVIF.METADATA").isEmpty());
    EXPECT_TRUE(RtpStreamChain::forStream("audio", "H264").isEmpty());
    EXPECT_TRUE(RtpStreamChain::forStream("video", "MP2T").isEmpty());
}

TEST(RtpStreamChain, StaticPayloadTypesSentWithoutANameAreKnownByTheirNumber) {
    EXPECT_EQ(RtpStreamChain::encodingName("", 14), "MPA");
    EXPECT_EQ(RtpStreamChain::encodingName("", 32), "MPV");
    EXPECT_TRUE(RtpStreamChain::isTransportStream(RtpStreamChain::encodingName("", 33)));
    EXPECT_TRUE(RtpStreamChain::encodingName("", 96).isEmpty());
    EXPECT_EQ(RtpStreamChain::encodingName("H264", 96), "H264");
    EXPECT_TRUE(RtpStreamChain::isTransportStream("mp2t"));
}

TEST(FrameStamping, FramesWithoutATimeFollowTheSpacingOfTheStampedOnesOrAreDroppedUntilItIsKnown) {
    FrameStamping stamping;
    // Three frames a packet, the first stamped: the spacing is unknown after the first packet.
    EXPECT_EQ(stamping.stamp(1000), 1000);
    EXPECT_EQ(stamping.stamp(-1), -1);
    EXPECT_EQ(stamping.stamp(-1), -1);
    EXPECT_EQ(stamping.stamp(1060), 1060);
    EXPECT_EQ(stamping.stamp(-1), 1080);
    EXPECT_EQ(stamping.stamp(-1), 1100);
    // One frame a packet from now on.
    EXPECT_EQ(stamping.stamp(1120), 1120);
    EXPECT_EQ(stamping.stamp(1140), 1140);
    EXPECT_EQ(stamping.stamp(-1), 1160);
}

TEST(FrameStamping, StampsGoingBackKeepTheSpacingFound) {
    FrameStamping stamping;
    for (qint64 pts : {0, 40, 160, 80, 120})
        EXPECT_EQ(stamping.stamp(pts), pts);
    // Spacing from the last rising pair (80 -> 120).
    EXPECT_EQ(stamping.stamp(-1), 160);
}

} // namespace
