#include "settopbox/ChannelEncoder.h"

#include "settopbox/ChannelColors.h"

#include <algorithm>
#include <cstdio>

namespace halcyon::settopbox {

namespace {

std::string launchLine(int number) {
    const ChannelColour c = channelColour(number);
    char colour[16];
    std::snprintf(colour, sizeof colour, "0xff%02x%02x%02x", c.r, c.g, c.b);
    // A different pitch per channel lets a listener tell channels apart too.
    const int pitch = 330 + (number % 16) * 40;
    // ultrafast and a flat background keep three channels near a third of a core; the small
    // clock in the corner keeps the picture live without covering the background colour.
    return "videotestsrc is-live=true pattern=solid-color foreground-color=" + std::string(colour) +
           " ! video/x-raw,format=I420,width=720,height=576,framerate=25/1,pixel-aspect-ratio=16/15"
           " ! textoverlay text=" +
           std::to_string(number) +
           " font-desc=\"DejaVu Sans Bold 150\" auto-resize=false valignment=center halignment=center"
           " ! timeoverlay font-desc=\"DejaVu Sans Mono 14\" auto-resize=false valignment=bottom"
           " halignment=left"
           " ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=12 bitrate=1500"
           " ! video/x-h264,profile=constrained-baseline ! h264parse config-interval=-1 ! queue"
           " ! mux. "
           "audiotestsrc is-live=true wave=sine volume=0.2 samplesperbuffer=1152 freq=" +
           std::to_string(pitch) +
           " ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_mp2 bitrate=128000"
           " ! mpegaudioparse ! queue ! mux. "
           "mpegtsmux name=mux alignment=7 ! appsink name=out sync=false max-buffers=64 drop=true";
}

} // namespace

ChannelEncoder::ChannelEncoder(int number) : m_number(number) {}

ChannelEncoder::~ChannelEncoder() {
    stop();
    for (GstAppSrc *viewer : m_viewers)
        gst_object_unref(viewer);
}

void ChannelEncoder::stop() {
    if (m_pipeline) {
        // Returns once the streaming threads have left deliver().
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
        m_pipeline = nullptr;
    }
}

bool ChannelEncoder::start(std::string *error) {
    GError *parseError = nullptr;
    m_pipeline = gst_parse_launch(launchLine(m_number).c_str(), &parseError);
    if (!m_pipeline || parseError) {
        *error = parseError ? parseError->message : "pipeline";
        g_clear_error(&parseError);
        return false;
    }
    GstElement *out = gst_bin_get_by_name(GST_BIN(m_pipeline), "out");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &ChannelEncoder::onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, this, nullptr);
    gst_object_unref(out);
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *error = "the encoder of channel " + std::to_string(m_number) + " does not start";
        return false;
    }
    return true;
}

void ChannelEncoder::attach(GstAppSrc *viewer) {
    std::lock_guard lock(m_mutex);
    m_viewers.push_back(GST_APP_SRC(gst_object_ref(viewer)));
}

void ChannelEncoder::detach(GstAppSrc *viewer) {
    std::lock_guard lock(m_mutex);
    auto it = std::find(m_viewers.begin(), m_viewers.end(), viewer);
    if (it != m_viewers.end()) {
        gst_object_unref(*it);
        m_viewers.erase(it);
    }
}

GstFlowReturn ChannelEncoder::onNewSample(GstAppSink *sink, gpointer self) {
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    if (GstBuffer *buffer = gst_sample_get_buffer(sample))
        static_cast<ChannelEncoder *>(self)->deliver(buffer);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void ChannelEncoder::deliver(GstBuffer *buffer) {
    if (m_frozen)
        return;
    // Each viewer's pipeline has its own clock and start; its appsrc stamps the packets on arrival.
    GstBuffer *packets = gst_buffer_copy(buffer);
    GST_BUFFER_PTS(packets) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DTS(packets) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(packets) = GST_CLOCK_TIME_NONE;
    {
        std::lock_guard lock(m_mutex);
        for (GstAppSrc *viewer : m_viewers)
            gst_app_src_push_buffer(viewer, gst_buffer_ref(packets));
    }
    gst_buffer_unref(packets);
}

} // namespace halcyon::settopbox
