#include "settopbox/ChannelEncoder.h"

#include "settopbox/TrackStreams.h"

#include <algorithm>
#include <utility>

namespace halcyon::settopbox {

namespace {

constexpr guint kAspectPeriodSeconds = 10;
constexpr const char *kNarrowShape = "16/15";
constexpr const char *kWideShape = "64/45";
// A viewer that cannot keep up, or that jitter holds back, loses packets rather than growing the
// box without bound; enough for two seconds of the HD channel.
constexpr guint64 kViewerQueueBytes = 2 * 1024 * 1024;

} // namespace

ChannelEncoder::ChannelEncoder(int number, const StreamProfile &profile)
    : m_number(number), m_profile(profile) {}

ChannelEncoder::~ChannelEncoder() {
    stop();
    for (Viewer &viewer : m_viewers) {
        for (GstAppSrc *source : viewer.sources)
            gst_object_unref(source);
    }
}

void ChannelEncoder::stop() {
    if (m_aspectTimer) {
        g_source_remove(m_aspectTimer);
        m_aspectTimer = 0;
    }
    if (m_pipeline) {
        // Returns once the streaming threads have left deliver().
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
        m_pipeline = nullptr;
    }
    m_mpeg2.reset();
    if (m_loop)
        m_loop->close();
    std::lock_guard lock(m_mutex);
    for (GstCaps *caps : m_caps) {
        if (caps)
            gst_caps_unref(caps);
    }
    m_caps.assign(size_t(m_profile.outputs), nullptr);
}

bool ChannelEncoder::start(std::string *error) {
    stop();
    GError *parseError = nullptr;
    m_pipeline = gst_parse_launch(encoderLaunch(m_profile, m_number).c_str(), &parseError);
    if (!m_pipeline || parseError) {
        *error = parseError ? parseError->message : "pipeline";
        g_clear_error(&parseError);
        return false;
    }
    if (!connectOutputs(error))
        return false;
    if (m_profile.mpeg2Bridge) {
        m_mpeg2 = std::make_unique<Mpeg2Bridge>();
        if (!m_mpeg2->open(m_pipeline, m_number, error))
            return false;
    }
    if (m_profile.encodedLoop) {
        if (!m_loop)
            m_loop = std::make_unique<EncodedLoop>();
        if (!m_loop->open(m_pipeline, m_number, error))
            return false;
    }
    if (m_profile.switchesAspect) {
        m_wide = false;
        m_aspectTimer = g_timeout_add_seconds(kAspectPeriodSeconds, &ChannelEncoder::onAspectTick, this);
    }
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *error = "the encoder of channel " + std::to_string(m_number) + " does not start";
        return false;
    }
    return true;
}

bool ChannelEncoder::connectOutputs(std::string *error) {
    for (int i = 0; i < m_profile.outputs; ++i) {
        GstElement *out = gst_bin_get_by_name(GST_BIN(m_pipeline), ("out" + std::to_string(i)).c_str());
        if (!out) {
            *error =
                "the encoder of channel " + std::to_string(m_number) + " has no output " + std::to_string(i);
            return false;
        }
        g_object_set_data(G_OBJECT(out), "output", GINT_TO_POINTER(i));
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &ChannelEncoder::onNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, this, nullptr);
        gst_object_unref(out);
    }
    if (m_profile.movingNumber && !m_profile.mpeg2Bridge)
        slideNumber(m_pipeline);
    if (const std::vector<BoxTrack> tracks = boxTracks(m_profile.name); !tracks.empty())
        runTracks(m_pipeline, tracks);
    return true;
}

gboolean ChannelEncoder::onAspectTick(gpointer self) {
    auto *encoder = static_cast<ChannelEncoder *>(self);
    encoder->m_wide = !encoder->m_wide;
    GstElement *shape = gst_bin_get_by_name(GST_BIN(encoder->m_pipeline), "shape");
    GstCaps *caps = nullptr;
    g_object_get(shape, "caps", &caps, nullptr);
    GstCaps *next = gst_caps_copy(caps);
    const char *ratio = encoder->m_wide ? kWideShape : kNarrowShape;
    GValue value = G_VALUE_INIT;
    g_value_init(&value, GST_TYPE_FRACTION);
    gst_value_deserialize(&value, ratio);
    gst_caps_set_value(next, "pixel-aspect-ratio", &value);
    g_value_unset(&value);
    // The encoder starts a new sequence with the new shape in its headers.
    g_object_set(shape, "caps", next, nullptr);
    gst_caps_unref(next);
    gst_caps_unref(caps);
    gst_object_unref(shape);
    return G_SOURCE_CONTINUE;
}

void ChannelEncoder::stall(int ms) {
    m_stalledUntil = g_get_monotonic_time() + gint64(ms) * 1000;
}

void ChannelEncoder::attach(GstElement *bin) {
    Viewer viewer{bin, {}};
    for (int i = 0; i < m_profile.outputs; ++i) {
        const std::string index = std::to_string(i);
        GstElement *source = gst_bin_get_by_name(GST_BIN(bin), ("src" + index).c_str());
        gst_app_src_set_max_bytes(GST_APP_SRC(source), kViewerQueueBytes);
        gst_app_src_set_leaky_type(GST_APP_SRC(source), GST_APP_LEAKY_TYPE_DOWNSTREAM);
        viewer.sources.push_back(GST_APP_SRC(source));
        if (GstElement *payloader = gst_bin_get_by_name(GST_BIN(bin), ("pay" + index).c_str())) {
            LinkFaults::install(m_faults, payloader);
            gst_object_unref(payloader);
        }
    }
    std::lock_guard lock(m_mutex);
    for (int i = 0; i < m_profile.outputs; ++i) {
        if (m_caps[size_t(i)])
            gst_app_src_set_caps(viewer.sources[size_t(i)], m_caps[size_t(i)]);
    }
    m_viewers.push_back(viewer);
    m_peakViewers = std::max(m_peakViewers, m_viewers.size());
}

int ChannelEncoder::viewers() {
    std::lock_guard lock(m_mutex);
    return int(m_viewers.size());
}

int ChannelEncoder::takePeakViewers() {
    std::lock_guard lock(m_mutex);
    return int(std::exchange(m_peakViewers, m_viewers.size()));
}

void ChannelEncoder::detach(GstElement *bin) {
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_viewers.begin(), m_viewers.end(), [&](const Viewer &v) { return v.bin == bin; });
    if (it == m_viewers.end())
        return;
    for (GstAppSrc *source : it->sources)
        gst_object_unref(source);
    m_viewers.erase(it);
}

GstFlowReturn ChannelEncoder::onNewSample(GstAppSink *sink, gpointer self) {
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    const int output = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(sink), "output"));
    static_cast<ChannelEncoder *>(self)->deliver(output, sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// Elementary streams carry their own timing in RTP: a picture keeps its capture time, moved onto
// the viewer's running time (both pipelines run on the system clock). False when the viewer is not
// running yet or the packet was made before the viewer existed.
bool ChannelEncoder::retime(GstBuffer *buffer, const GstSegment *segment, GstAppSrc *viewer) const {
    GstClock *clock = gst_element_get_clock(GST_ELEMENT(viewer));
    if (!clock || !segment) {
        if (clock)
            gst_object_unref(clock);
        return false;
    }
    gst_object_unref(clock);
    const GstClockTime ours = gst_element_get_base_time(m_pipeline);
    const GstClockTime theirs = gst_element_get_base_time(GST_ELEMENT(viewer));
    // Before its first base time a viewer's running time would be the clock's own (see stampArrival).
    if (GST_STATE(viewer) != GST_STATE_PLAYING || theirs == 0)
        return false;
    GstClockTime *stamps[] = {&GST_BUFFER_PTS(buffer), &GST_BUFFER_DTS(buffer)};
    for (GstClockTime *stamp : stamps) {
        if (*stamp == GST_CLOCK_TIME_NONE)
            continue;
        // Encoders shift their stamps by a segment of their own; what counts is the running time.
        guint64 running = 0;
        if (gst_segment_to_running_time_full(segment, GST_FORMAT_TIME, *stamp, &running) <= 0 ||
            ours + running < theirs)
            return false;
        *stamp = ours + running - theirs;
    }
    return true;
}

// MPEG-TS packets carry their own clock: RTP only needs their arrival on the viewer's running time.
// The viewer's appsrc could stamp them itself (do-timestamp), but a busy machine lets it stamp the
// first packet before its pipeline has a base time: that packet then lies an uptime ahead, the
// viewer's clock-synced sink waits for it, and the viewer gets nothing at all. A viewer not
// playing yet has no running time to give and gets nothing until it plays.
bool ChannelEncoder::stampArrival(GstBuffer *buffer, GstAppSrc *viewer) {
    GstElement *element = GST_ELEMENT(viewer);
    if (GST_STATE(element) != GST_STATE_PLAYING)
        return false;
    GstClock *clock = gst_element_get_clock(element);
    if (!clock)
        return false;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(element);
    if (base == 0 || now < base)
        return false;
    GST_BUFFER_PTS(buffer) = now - base;
    GST_BUFFER_DTS(buffer) = now - base;
    GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_NONE;
    return true;
}

void ChannelEncoder::deliver(int output, GstSample *sample) {
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || m_frozen || g_get_monotonic_time() < m_stalledUntil)
        return;
    GstCaps *caps = gst_sample_get_caps(sample);
    std::lock_guard lock(m_mutex);
    GstCaps *&known = m_caps[size_t(output)];
    const bool newCaps = caps && (!known || !gst_caps_is_equal(known, caps));
    if (newCaps)
        gst_caps_replace(&known, caps);
    for (Viewer &viewer : m_viewers) {
        GstAppSrc *source = viewer.sources[size_t(output)];
        if (newCaps)
            gst_app_src_set_caps(source, caps);
        GstBuffer *packets = gst_buffer_copy(buffer);
        bool keep = true;
        if (m_profile.transportStream) {
            keep = stampArrival(packets, source);
        } else {
            keep = retime(packets, gst_sample_get_segment(sample), source);
        }
        if (keep)
            gst_app_src_push_buffer(source, packets);
        else
            gst_buffer_unref(packets);
    }
}

} // namespace halcyon::settopbox
