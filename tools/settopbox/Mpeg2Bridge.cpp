#include "settopbox/Mpeg2Bridge.h"

#include "settopbox/StreamProfile.h"

#include <gst/video/video.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace halcyon::settopbox {

namespace {

constexpr int kFrameRate = 25;
constexpr GstClockTime kFrameDuration = GST_SECOND / kFrameRate;
// B-frames make decoding stamps run behind presentation ones by this many frames.
constexpr int kBFrames = 2;

} // namespace

Mpeg2Bridge::~Mpeg2Bridge() {
    if (m_pictures) {
        // Returns once the picture thread has left encode().
        gst_element_set_state(m_pictures, GST_STATE_NULL);
        gst_object_unref(m_pictures);
    }
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
    if (m_out)
        gst_object_unref(m_out);
}

bool Mpeg2Bridge::open(GstElement *pipeline, int number, std::string *error) {
    GError *parseError = nullptr;
    m_pictures = gst_parse_launch(mpeg2PictureLaunch(number).c_str(), &parseError);
    if (!m_pictures || parseError) {
        *error = parseError ? parseError->message : "pipeline";
        g_clear_error(&parseError);
        return false;
    }
    slideNumber(m_pictures);
    m_pipeline = pipeline;
    GstElement *raw = gst_bin_get_by_name(GST_BIN(m_pictures), "raw");
    GstElement *out = gst_bin_get_by_name(GST_BIN(pipeline), "mpeg2");
    if (!raw || !out) {
        *error = "the MPEG-2 pipeline lacks its raw sink or its source";
        if (raw)
            gst_object_unref(raw);
        if (out)
            gst_object_unref(out);
        return false;
    }
    m_out = GST_APP_SRC(out);
    GstCaps *caps = gst_caps_from_string("video/mpeg,mpegversion=2,systemstream=false");
    gst_app_src_set_caps(m_out, caps);
    gst_caps_unref(caps);

    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    m_context = codec ? avcodec_alloc_context3(codec) : nullptr;
    m_packet = av_packet_alloc();
    if (!m_context || !m_packet) {
        gst_object_unref(raw);
        *error = "no MPEG-2 video encoder";
        return false;
    }
    AVCodecContext *c = m_context;
    c->width = 720;
    c->height = 576;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->framerate = {kFrameRate, 1};
    c->time_base = {1, kFrameRate};
    c->sample_aspect_ratio = {16, 15};
    c->bit_rate = 4000000;
    c->rc_max_rate = 6000000;
    c->rc_buffer_size = 1835008;
    c->gop_size = 12;
    c->max_b_frames = kBFrames;
    c->field_order = AV_FIELD_TT;
    c->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    c->thread_count = 1;
    if (avcodec_open2(c, codec, nullptr) < 0) {
        gst_object_unref(raw);
        *error = "the MPEG-2 video encoder does not open";
        return false;
    }

    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &Mpeg2Bridge::onPicture;
    gst_app_sink_set_callbacks(GST_APP_SINK(raw), &callbacks, this, nullptr);
    gst_object_unref(raw);
    if (gst_element_set_state(m_pictures, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *error = "the MPEG-2 pictures do not start";
        return false;
    }
    return true;
}

GstFlowReturn Mpeg2Bridge::onPicture(GstAppSink *sink, gpointer self) {
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    static_cast<Mpeg2Bridge *>(self)->encode(sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void Mpeg2Bridge::encode(GstSample *sample) {
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        GST_VIDEO_INFO_WIDTH(&info) != m_context->width || GST_VIDEO_INFO_HEIGHT(&info) != m_context->height)
        return;
    GstVideoFrame picture;
    if (!gst_video_frame_map(&picture, &info, buffer, GST_MAP_READ))
        return;
    if (m_origin == GST_CLOCK_TIME_NONE) {
        // The pictures' running time moved onto the running time of the pipeline they join.
        const GstClockTime theirs = gst_element_get_base_time(m_pipeline);
        const GstClockTime ours = gst_element_get_base_time(m_pictures) + GST_BUFFER_PTS(buffer);
        if (!GST_BUFFER_PTS_IS_VALID(buffer) || theirs == 0 || ours < theirs) {
            gst_video_frame_unmap(&picture);
            return;
        }
        m_origin = ours - theirs;
    }

    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = m_context->width;
    frame->height = m_context->height;
    for (int plane = 0; plane < 3; ++plane) {
        // Not reference-counted: libavcodec copies what it keeps for its B-frames.
        frame->data[plane] = static_cast<uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&picture, plane));
        frame->linesize[plane] = GST_VIDEO_FRAME_PLANE_STRIDE(&picture, plane);
    }
    frame->interlaced_frame = 1;
    frame->top_field_first = 1;
    frame->pts = m_frames++;
    const int sent = avcodec_send_frame(m_context, frame);
    av_frame_free(&frame);
    gst_video_frame_unmap(&picture);
    if (sent >= 0)
        pushPackets();
}

void Mpeg2Bridge::pushPackets() {
    while (avcodec_receive_packet(m_context, m_packet) >= 0) {
        GstBuffer *out = gst_buffer_new_memdup(m_packet->data, gsize(m_packet->size));
        // Stamped from the first picture's capture time, shifted so that the earliest decoding
        // stamp, kBFrames frames before it, is still not negative.
        const GstClockTime origin = m_origin + kBFrames * kFrameDuration;
        GST_BUFFER_PTS(out) = origin + GstClockTime(m_packet->pts) * kFrameDuration;
        GST_BUFFER_DTS(out) = origin + m_packet->dts * GstClockTimeDiff(kFrameDuration);
        GST_BUFFER_DURATION(out) = kFrameDuration;
        if (!(m_packet->flags & AV_PKT_FLAG_KEY))
            GST_BUFFER_FLAG_SET(out, GST_BUFFER_FLAG_DELTA_UNIT);
        gst_app_src_push_buffer(m_out, out);
        av_packet_unref(m_packet);
    }
}

} // namespace halcyon::settopbox
