#include "player/ring/EarlyKeyFrame.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>

// A tune's first key frame, shown before the pipeline's decoder gives it out.
namespace {

struct Seen {
    std::atomic<bool> offered{false};
    // Whether the early picture was in when the pipeline's decoder gave out its first picture.
    std::atomic<int> offeredAtFirstDecoded{-1};
};

TEST(EarlyKeyFrame, ShowsTheFirstKeyFrameBeforeTheDecoderOfAStreamWithBFramesGivesItOut) {
    gst_init(nullptr, nullptr);
    // Avc packets, as a parser hands them to this decoder, and B-frames that hold its output back.
    GstElement *pipeline = gst_parse_launch(
        "videotestsrc num-buffers=12 pattern=solid-color foreground-color=0xFF20C020 ! "
        "video/x-raw,width=320,height=240,framerate=25/1 ! x264enc bframes=2 b-adapt=false key-int-max=12 ! "
        "h264parse name=parse ! video/x-h264,stream-format=avc,alignment=au ! avdec_h264 name=decode ! "
        "fakesink sync=false",
        nullptr);
    ASSERT_NE(pipeline, nullptr);
    Seen seen;
    PictureSink pictures([&] { seen.offered = true; });
    GstElement *parse = gst_bin_get_by_name(GST_BIN(pipeline), "parse");
    EarlyKeyFrame::watch(parse, pictures, QSize(160, 160));
    gst_object_unref(parse);
    GstElement *decode = gst_bin_get_by_name(GST_BIN(pipeline), "decode");
    GstPad *decoded = gst_element_get_static_pad(decode, "src");
    gst_pad_add_probe(
        decoded, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *, gpointer data) {
            auto *seen = static_cast<Seen *>(data);
            seen->offeredAtFirstDecoded = seen->offered ? 1 : 0;
            return GST_PAD_PROBE_REMOVE;
        },
        &seen, nullptr);
    gst_object_unref(decoded);
    gst_object_unref(decode);

    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end =
        gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    EXPECT_EQ(seen.offeredAtFirstDecoded, 1);
    const PictureSink::Picture picture = pictures.take();
    ASSERT_FALSE(picture.image.isNull());
    EXPECT_EQ(picture.image.size(), QSize(160, 120));
    const QRgb centre = picture.image.pixel(80, 60);
    EXPECT_TRUE(qGreen(centre) > 150 && qRed(centre) < 80 && qBlue(centre) < 80) << std::hex << centre;
}

} // namespace
