#include "settopbox/EncodedLoop.h"

#include "settopbox/StreamProfile.h"

#include <gst/app/gstappsink.h>

#include <cstdio>

namespace halcyon::settopbox {

namespace {

// Each round starts this far into the viewer's time: a B-frame stream decodes some pictures
// before it shows the first, and those decoding stamps must not fall before zero.
constexpr GstClockTime kLead = 300 * GST_MSECOND;
// Enough for an encode of a few seconds on a loaded machine, short of a box that hangs.
constexpr GstClockTime kEncodeDeadline = 120 * GST_SECOND;
// Buffers queued per request from the appsrc: it asks again as soon as they have gone.
constexpr int kBuffersPerFeed = 4;

GstClockTime runningTime(const GstSegment *segment, GstClockTime stamp) {
    guint64 running = 0;
    const int sign = gst_segment_to_running_time_full(segment, GST_FORMAT_TIME, stamp, &running);
    if (sign > 0)
        return kLead + running;
    return running < kLead ? kLead - running : 0;
}

} // namespace

EncodedLoop::~EncodedLoop() {
    if (m_encoder.joinable())
        m_encoder.join();
    close();
    for (Track &track : m_tracks) {
        for (GstBuffer *buffer : track.buffers)
            gst_buffer_unref(buffer);
        if (track.caps)
            gst_caps_unref(track.caps);
    }
}

bool EncodedLoop::open(GstElement *pipeline, int number, std::string *error) {
    close();
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < std::size(m_tracks); ++i) {
        GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), ("loop" + std::to_string(i)).c_str());
        if (!source) {
            *error = "the channel " + std::to_string(number) + " has no loop" + std::to_string(i);
            return false;
        }
        m_tracks[i].source = GST_APP_SRC(source);
        GstAppSrcCallbacks callbacks{};
        callbacks.need_data = &EncodedLoop::onNeedData;
        gst_app_src_set_callbacks(m_tracks[i].source, &callbacks, this, nullptr);
    }
    m_pipeline = GST_ELEMENT(gst_object_ref(pipeline));
    if (m_encoded) {
        begin();
    } else if (!m_encoder.joinable()) {
        m_encoder = std::thread([this, number] {
            std::string why;
            const bool encoded = encode(number, &why);
            if (!encoded)
                std::fprintf(stderr, "halcyon-settopbox: %s\n", why.c_str());
            std::lock_guard lock(m_mutex);
            m_encoded = encoded;
            if (m_encoded && m_pipeline)
                begin();
        });
    }
    return true;
}

void EncodedLoop::close() {
    std::lock_guard lock(m_mutex);
    for (Track &track : m_tracks) {
        if (track.source)
            gst_object_unref(track.source);
        track.source = nullptr;
    }
    if (m_pipeline)
        gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void EncodedLoop::begin() {
    m_origin = 0;
    if (GstClock *clock = gst_element_get_clock(m_pipeline)) {
        const GstClockTime now = gst_clock_get_time(clock);
        const GstClockTime base = gst_element_get_base_time(m_pipeline);
        m_origin = now > base ? now - base : 0;
        gst_object_unref(clock);
    }
    for (Track &track : m_tracks) {
        track.next = 0;
        track.round = 0;
        gst_app_src_set_caps(track.source, track.caps);
        feed(track);
    }
}

bool EncodedLoop::encode(int number, std::string *error) {
    GError *parseError = nullptr;
    GstElement *pipeline = gst_parse_launch(encodedLoopLaunch(number).c_str(), &parseError);
    if (!pipeline || parseError) {
        *error = parseError ? parseError->message : "loop pipeline";
        g_clear_error(&parseError);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    slideNumber(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end =
        gst_bus_timed_pop_filtered(bus, kEncodeDeadline, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool finished = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end)
        gst_message_unref(end);
    gst_object_unref(bus);
    for (size_t i = 0; finished && i < std::size(m_tracks); ++i) {
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), ("loop" + std::to_string(i)).c_str());
        while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 0)) {
            Track &track = m_tracks[i];
            if (!track.caps)
                track.caps = gst_caps_ref(gst_sample_get_caps(sample));
            GstBuffer *buffer = gst_buffer_copy(gst_sample_get_buffer(sample));
            const GstSegment *segment = gst_sample_get_segment(sample);
            GST_BUFFER_PTS(buffer) = runningTime(segment, GST_BUFFER_PTS(buffer));
            if (GST_BUFFER_DTS_IS_VALID(buffer))
                GST_BUFFER_DTS(buffer) = runningTime(segment, GST_BUFFER_DTS(buffer));
            track.buffers.push_back(buffer);
            gst_sample_unref(sample);
        }
        gst_object_unref(sink);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    int rateN = 0, rateD = 1;
    if (!finished || m_tracks[0].buffers.empty() || m_tracks[1].buffers.empty() ||
        !gst_structure_get_fraction(gst_caps_get_structure(m_tracks[0].caps, 0), "framerate", &rateN,
                                    &rateD) ||
        rateN <= 0) {
        *error = "the loop of channel " + std::to_string(number) + " could not be encoded";
        return false;
    }
    // The round lasts as long as its pictures; the sound, a few milliseconds short of it, waits.
    m_length = gst_util_uint64_scale(m_tracks[0].buffers.size() * GST_SECOND, guint64(rateD), guint64(rateN));
    return true;
}

void EncodedLoop::onNeedData(GstAppSrc *source, guint, gpointer self) {
    auto *loop = static_cast<EncodedLoop *>(self);
    std::lock_guard lock(loop->m_mutex);
    for (Track &track : loop->m_tracks) {
        // Before the loop is ready the source waits; begin() feeds it the first buffers.
        if (track.source == source && loop->m_encoded)
            loop->feed(track);
    }
}

void EncodedLoop::feed(Track &track) {
    for (int i = 0; i < kBuffersPerFeed; ++i) {
        GstBuffer *buffer = gst_buffer_copy(track.buffers[track.next]);
        const GstClockTime shift = m_origin + track.round * m_length;
        GST_BUFFER_PTS(buffer) += shift;
        if (GST_BUFFER_DTS_IS_VALID(buffer))
            GST_BUFFER_DTS(buffer) += shift;
        gst_app_src_push_buffer(track.source, buffer);
        if (++track.next == track.buffers.size()) {
            track.next = 0;
            ++track.round;
        }
    }
}

} // namespace halcyon::settopbox
