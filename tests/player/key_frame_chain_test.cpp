#include "player/ring/KeyFrameChain.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <gtest/gtest.h>

// The decoder of warm channels' key frames, fed key frames encoded here in one colour each: one
// chain decodes the frames of several channels in turn, each to its own picture.
namespace {

struct Coding {
    const char *name;
    int streamType;
    const char *encoder;
};

// One picture of a single colour, as the coded units of a key frame; empty when it cannot be made.
QByteArray keyFrameOf(const Coding &coding, QRgb colour) {
    gst_init(nullptr, nullptr);
    const QByteArray line =
        QByteArrayLiteral("videotestsrc num-buffers=1 pattern=solid-color foreground-color=") +
        QByteArray::number(0xFF000000u | colour) +
        " ! video/x-raw,format=I420,width=320,height=240,framerate=25/1 ! " + coding.encoder +
        " ! appsink name=sink sync=false";
    GstElement *pipeline = gst_parse_launch(line.constData(), nullptr);
    if (!pipeline)
        return {};
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    QByteArray units;
    if (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
        GstMapInfo map;
        if (gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
            units = QByteArray(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
            gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
        }
        gst_sample_unref(sample);
    }
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return units;
}

bool near(QRgb shown, QRgb expected) {
    return qAbs(qRed(shown) - qRed(expected)) < 40 && qAbs(qGreen(shown) - qGreen(expected)) < 40 &&
           qAbs(qBlue(shown) - qBlue(expected)) < 40;
}

class KeyFrameChainCodings : public ::testing::TestWithParam<Coding> {};

TEST_P(KeyFrameChainCodings, DecodesEachChannelsKeyFrameToItsOwnPictureAndNothingFromABrokenOne) {
    const Coding &coding = GetParam();
    const QRgb red = qRgb(220, 30, 30), blue = qRgb(30, 30, 220);
    const QByteArray redFrame = keyFrameOf(coding, red);
    const QByteArray blueFrame = keyFrameOf(coding, blue);
    ASSERT_FALSE(redFrame.isEmpty() || blueFrame.isEmpty()) << coding.name;

    KeyFrameChain chain(coding.streamType, QSize(160, 160));
    ASSERT_TRUE(chain.isValid()) << coding.name;
    const QList<std::pair<QByteArray, QRgb>> turns = {{redFrame, red}, {blueFrame, blue}, {redFrame, red}};
    for (const auto &[frame, colour] : turns) {
        const PictureSink::Picture picture = chain.decode(frame);
        ASSERT_FALSE(picture.image.isNull()) << coding.name;
        // Within the bound, the picture's own proportions kept.
        EXPECT_EQ(picture.image.size(), QSize(160, 120)) << coding.name;
        EXPECT_TRUE(near(picture.image.pixel(80, 60), colour))
            << coding.name << ": " << std::hex << picture.image.pixel(80, 60);
    }
    // A frame cut short shows nothing, and leaves nothing behind for the next one.
    EXPECT_TRUE(chain.decode(redFrame.left(40)).image.isNull()) << coding.name;
    const PictureSink::Picture after = chain.decode(blueFrame);
    ASSERT_FALSE(after.image.isNull()) << coding.name;
    EXPECT_TRUE(near(after.image.pixel(80, 60), blue)) << coding.name;
}

INSTANTIATE_TEST_SUITE_P(
    Codings, KeyFrameChainCodings,
    ::testing::Values(
        Coding{"H.264", 0x1B, "x264enc key-int-max=1 ! video/x-h264,stream-format=byte-stream,alignment=au"},
        Coding{"HEVC", 0x24, "x265enc key-int-max=1 ! video/x-h265,stream-format=byte-stream,alignment=au"},
        Coding{"MPEG-2", 0x02, "mpeg2enc format=3"}),
    [](const ::testing::TestParamInfo<Coding> &info) {
        return std::string(info.param.name == std::string("H.264")  ? "H264"
                           : info.param.name == std::string("HEVC") ? "HEVC"
                                                                    : "MPEG2");
    });

TEST(KeyFrameChain, AStreamTypeWithoutPicturesMakesNoChain) {
    EXPECT_FALSE(KeyFrameChain(0x03, QSize(160, 120)).isValid()) << "MPEG audio";
}

} // namespace
