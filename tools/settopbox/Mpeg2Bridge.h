#pragma once

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <string>

struct AVCodecContext;
struct AVPacket;

namespace halcyon::settopbox {

// MPEG-2 video encoding for the box, through libavcodec: GStreamer's own MPEG-2 encoders either
// refuse to negotiate a frame rate on this platform or cannot keep up with 720x576 in real time.
// Runs the channel's interlaced picture in a pipeline of its own and feeds MPEG-2 frames, with
// field-aware coding and B-frames, to the appsrc "mpeg2" of the channel's pipeline.
class Mpeg2Bridge {
public:
    Mpeg2Bridge() = default;
    ~Mpeg2Bridge();
    Mpeg2Bridge(const Mpeg2Bridge &) = delete;
    Mpeg2Bridge &operator=(const Mpeg2Bridge &) = delete;

    // Starts the pictures; the pipeline must be set playing after this.
    bool open(GstElement *pipeline, int number, std::string *error);

private:
    static GstFlowReturn onPicture(GstAppSink *sink, gpointer self);
    void encode(GstSample *sample);
    void pushPackets();

    GstElement *m_pictures = nullptr;
    GstElement *m_pipeline = nullptr;
    AVCodecContext *m_context = nullptr;
    AVPacket *m_packet = nullptr;
    GstAppSrc *m_out = nullptr;
    GstClockTime m_origin = GST_CLOCK_TIME_NONE;
    long long m_frames = 0;
};

} // namespace halcyon::settopbox
