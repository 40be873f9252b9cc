#include "player/pipeline/TopField.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <gtest/gtest.h>

#include <vector>

// The element that shows an interlaced picture as its top field, fed pictures whose every line
// holds its own number, so the lines that come out say which ones were taken.
namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 8;

GstCaps *pictureCaps(const char *mode) {
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, kWidth,
                               "height", G_TYPE_INT, kHeight, "framerate", GST_TYPE_FRACTION, 25, 1,
                               "pixel-aspect-ratio", GST_TYPE_FRACTION, 16, 15, "interlace-mode",
                               G_TYPE_STRING, mode, nullptr);
}

// Luma line y holds 10 + y, chroma line y of each plane 100 + y.
GstBuffer *numberedPicture(GstCaps *caps) {
    GstVideoInfo info;
    gst_video_info_from_caps(&info, caps);
    GstBuffer *buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstVideoFrame frame;
    gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE);
    for (guint plane = 0; plane < 3; ++plane) {
        auto *data = static_cast<guint8 *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
        for (int y = 0; y < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, plane); ++y)
            std::fill_n(data + y * stride, stride, guint8((plane == 0 ? 10 : 100) + y));
    }
    gst_video_frame_unmap(&frame);
    GST_BUFFER_PTS(buffer) = 0;
    GST_BUFFER_FLAG_SET(buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED);
    return buffer;
}

// Answers the allocation query as a scaler does: any line stride is welcome.
GstPadProbeReturn acceptVideoMeta(GstPad *, GstPadProbeInfo *info, gpointer) {
    GstQuery *query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) == GST_QUERY_ALLOCATION)
        gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    return GST_PAD_PROBE_OK;
}

struct Output {
    GstSample *sample = nullptr;
    const guint8 *inputLuma = nullptr;
    ~Output() {
        if (sample)
            gst_sample_unref(sample);
    }
    GstCaps *caps() const { return gst_sample_get_caps(sample); }
    GstBuffer *buffer() const { return gst_sample_get_buffer(sample); }

    // The first byte of each line of one plane, as the next element would read it.
    std::vector<int> lines(guint plane) const {
        GstVideoInfo info;
        gst_video_info_from_caps(&info, caps());
        GstVideoFrame frame;
        std::vector<int> first;
        if (!gst_video_frame_map(&frame, &info, buffer(), GST_MAP_READ))
            return first;
        const auto *data = static_cast<const guint8 *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
        for (int y = 0; y < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, plane); ++y)
            first.push_back(data[y * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane)]);
        gst_video_frame_unmap(&frame);
        return first;
    }
};

// One picture through appsrc ! topfield ! appsink.
void pass(const char *mode, bool sinkReadsVideoMeta, Output &output) {
    gst_init(nullptr, nullptr);
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("appsrc", nullptr);
    GstElement *field = TopField::create();
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    GstCaps *caps = pictureCaps(mode);
    g_object_set(source, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, field, sink, nullptr);
    ASSERT_TRUE(gst_element_link_many(source, field, sink, nullptr));
    if (sinkReadsVideoMeta) {
        GstPad *pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, &acceptVideoMeta, nullptr, nullptr);
        gst_object_unref(pad);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBuffer *picture = numberedPicture(caps);
    GstMapInfo map;
    gst_buffer_map(picture, &map, GST_MAP_READ);
    output.inputLuma = map.data;
    gst_buffer_unmap(picture, &map);
    gst_app_src_push_buffer(GST_APP_SRC(source), picture);
    gst_app_src_end_of_stream(GST_APP_SRC(source));
    output.sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    gst_caps_unref(caps);
    ASSERT_NE(output.sample, nullptr) << "no picture came out";
}

void expectTopFieldCaps(GstCaps *caps) {
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_from_caps(&info, caps));
    EXPECT_EQ(info.width, kWidth);
    EXPECT_EQ(info.height, kHeight / 2);
    EXPECT_EQ(info.interlace_mode, GST_VIDEO_INTERLACE_MODE_PROGRESSIVE);
    // Pixels twice as tall: the picture keeps its shape on screen.
    EXPECT_EQ(info.par_n, 8);
    EXPECT_EQ(info.par_d, 15);
}

class TopFieldOf : public ::testing::TestWithParam<const char *> {};

TEST_P(TopFieldOf, AnInterlacedPictureIsItsEvenLinesReadInPlace) {
    Output output;
    ASSERT_NO_FATAL_FAILURE(pass(GetParam(), true, output));
    expectTopFieldCaps(output.caps());
    EXPECT_EQ(output.lines(0), (std::vector<int>{10, 12, 14, 16}));
    EXPECT_EQ(output.lines(1), (std::vector<int>{100, 102}));
    EXPECT_EQ(output.lines(2), (std::vector<int>{100, 102}));
    EXPECT_FALSE(GST_BUFFER_FLAG_IS_SET(output.buffer(), GST_VIDEO_BUFFER_FLAG_INTERLACED));
    GstMapInfo map;
    ASSERT_TRUE(gst_buffer_map(output.buffer(), &map, GST_MAP_READ));
    EXPECT_EQ(map.data, output.inputLuma) << "the field was copied";
    gst_buffer_unmap(output.buffer(), &map);
}

TEST_P(TopFieldOf, AnInterlacedPictureIsCopiedWhenTheNextElementNeedsATightLayout) {
    Output output;
    ASSERT_NO_FATAL_FAILURE(pass(GetParam(), false, output));
    expectTopFieldCaps(output.caps());
    EXPECT_EQ(gst_buffer_get_video_meta(output.buffer()), nullptr);
    EXPECT_EQ(output.lines(0), (std::vector<int>{10, 12, 14, 16}));
    EXPECT_EQ(output.lines(2), (std::vector<int>{100, 102}));
}

INSTANTIATE_TEST_SUITE_P(Modes, TopFieldOf, ::testing::Values("interleaved", "mixed"));

TEST(TopField, AProgressivePicturePassesWhole) {
    Output output;
    ASSERT_NO_FATAL_FAILURE(pass("progressive", true, output));
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_from_caps(&info, output.caps()));
    EXPECT_EQ(info.height, kHeight);
    EXPECT_EQ(info.par_n, 16);
    EXPECT_EQ(output.lines(0), (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17}));
}

} // namespace
