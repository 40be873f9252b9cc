#include "player/pipeline/StreamTapping.h"

#include "player/PlayerLog.h"
#include "player/engine/TapLine.h"
#include "player/ring/RtpStreamChain.h"
#include "player/ring/TsAssembly.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <mutex>
#include <optional>

namespace {

// How long the side multiplexer waits for the other streams' frames of the same time: the cold
// path's jitter buffers give the streams out in step, within a frame or two.
constexpr GstClockTime kSideLatency = 300 * GST_MSECOND;
// What a stream's copy may queue if the side pipeline falls behind.
constexpr guint64 kMaxQueuedBytes = 4 * 1024 * 1024;

void append(QByteArray &bytes, GstBuffer *buffer) {
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        bytes.append(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
        gst_buffer_unmap(buffer, &map);
    }
}

// Calls take with each buffer the probe sees, alone or in a list.
template <typename Take> void forEachBuffer(GstPadProbeInfo *info, Take take) {
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList *list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            take(gst_buffer_list_get(list, i));
    } else {
        take(GST_PAD_PROBE_INFO_BUFFER(info));
    }
}

// The packets of a buffer or of a list, as one copy.
QByteArray bytesOf(GstPadProbeInfo *info) {
    QByteArray bytes;
    forEachBuffer(info, [&bytes](GstBuffer *buffer) { append(bytes, buffer); });
    return bytes;
}

GstPadProbeReturn copyTransportStream(GstPad *, GstPadProbeInfo *info, gpointer data) {
    TapLine &line = **static_cast<std::shared_ptr<TapLine> *>(data);
    if (line.isClosed())
        return GST_PAD_PROBE_REMOVE;
    line.deliver(bytesOf(info), StreamArrival::nowNs());
    return GST_PAD_PROBE_OK;
}

GstFlowReturn onMultiplexed(GstAppSink *sink, gpointer data) {
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    QByteArray bytes;
    if (GstBufferList *list = gst_sample_get_buffer_list(sample)) {
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            append(bytes, gst_buffer_list_get(list, i));
    } else if (GstBuffer *buffer = gst_sample_get_buffer(sample)) {
        append(bytes, buffer);
    }
    gst_sample_unref(sample);
    static_cast<TapLine *>(data)->deliver(bytes, StreamArrival::nowNs());
    return GST_FLOW_OK;
}

} // namespace

// The side pipeline: one appsrc per elementary stream, multiplexed into an appsink that feeds the
// line. Made at the first stream's first packet.
struct StreamTapping::Side {
    explicit Side(std::shared_ptr<TapLine> line) : line(std::move(line)) {}
    ~Side() { stop(); }

    // A new appsrc for a stream of caps, linked into the multiplexer; null when none can be made.
    GstElement *addStream(GstCaps *caps);
    // The side pipeline's time of a copy that ran at runningTime in playbin.
    GstClockTime sideTime(GstClockTime runningTime);
    void stop();

    const std::shared_ptr<TapLine> line;
    std::mutex mutex;
    GstElement *pipeline = nullptr;
    bool stopped = false;
    // playbin's running time less the side pipeline's, fixed at the first copy: every stream's
    // copies keep their times relative to each other.
    std::optional<GstClockTimeDiff> offset;
};

GstElement *StreamTapping::Side::addStream(GstCaps *caps) {
    std::lock_guard lock(mutex);
    if (stopped)
        return nullptr;
    if (!pipeline) {
        GstElement *sink = gst_element_factory_make("appsink", nullptr);
        if (!sink)
            return nullptr;
        pipeline = gst_pipeline_new("stream-tap");
        gst_bin_add(GST_BIN(pipeline), sink);
        // Nothing to preroll: the pipeline plays at once and its streams join it as they come.
        g_object_set(sink, "sync", FALSE, "async", FALSE, "buffer-list", TRUE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &onMultiplexed;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, line.get(), nullptr);
        TsAssembly::prepare(pipeline, sink, "tap");
        GstClock *clock = gst_system_clock_obtain();
        gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
        gst_object_unref(clock);
        // Nobody reads its news: dropped as they come instead of piling up.
        GstBus *bus = gst_element_get_bus(pipeline);
        gst_bus_set_flushing(bus, TRUE);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    }
    GstElement *appsrc = gst_element_factory_make("appsrc", nullptr);
    if (!appsrc)
        return nullptr;
    g_object_set(appsrc, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE,
                 "min-latency", gint64(kSideLatency), "max-bytes", kMaxQueuedBytes, nullptr);
    gst_util_set_object_arg(G_OBJECT(appsrc), "leaky-type", "downstream");
    gst_bin_add(GST_BIN(pipeline), appsrc);
    GstPad *output = gst_element_get_static_pad(appsrc, "src");
    TsAssembly::link(pipeline, output, caps);
    gst_object_unref(output);
    gst_element_sync_state_with_parent(appsrc);
    return GST_ELEMENT(gst_object_ref(appsrc));
}

GstClockTime StreamTapping::Side::sideTime(GstClockTime runningTime) {
    std::lock_guard lock(mutex);
    if (!pipeline)
        return GST_CLOCK_TIME_NONE;
    if (!offset) {
        GstClock *clock = gst_element_get_clock(pipeline);
        if (!clock)
            return GST_CLOCK_TIME_NONE;
        const GstClockTime now = gst_clock_get_time(clock) - gst_element_get_base_time(pipeline);
        gst_object_unref(clock);
        offset = GST_CLOCK_DIFF(now, runningTime);
    }
    const GstClockTimeDiff time = GstClockTimeDiff(runningTime) - *offset;
    return time < 0 ? GST_CLOCK_TIME_NONE : GstClockTime(time);
}

void StreamTapping::Side::stop() {
    GstElement *stopping = nullptr;
    {
        std::lock_guard lock(mutex);
        stopped = true;
        stopping = std::exchange(pipeline, nullptr);
    }
    if (!stopping)
        return;
    gst_element_set_state(stopping, GST_STATE_NULL);
    gst_object_unref(stopping);
}

namespace {

// One elementary stream's copy: the side pipeline's appsrc it goes into, made at its first packet.
struct Feed {
    std::shared_ptr<StreamTapping::Side> side;
    GstElement *appsrc = nullptr;
    GstSegment segment;
    bool segmentKnown = false;

    ~Feed() {
        if (appsrc)
            gst_object_unref(appsrc);
    }
};

// The stream's caps say which: a stream that no chain carries (data, subtitles) is not copied.
bool carried(GstPad *pad) {
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        return false;
    const GstStructure *stream = gst_caps_get_structure(caps, 0);
    int payloadType = -1;
    gst_structure_get_int(stream, "payload", &payloadType);
    const QByteArray encodingName =
        RtpStreamChain::encodingName(gst_structure_get_string(stream, "encoding-name"), payloadType);
    const bool known =
        !RtpStreamChain::forStream(gst_structure_get_string(stream, "media"), encodingName).isEmpty();
    gst_caps_unref(caps);
    return known;
}

void push(Feed &feed, GstBuffer *buffer) {
    if (!feed.segmentKnown || !GST_BUFFER_PTS_IS_VALID(buffer))
        return;
    const GstClockTime runningTime =
        gst_segment_to_running_time(&feed.segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    const GstClockTime time =
        GST_CLOCK_TIME_IS_VALID(runningTime) ? feed.side->sideTime(runningTime) : runningTime;
    if (!GST_CLOCK_TIME_IS_VALID(time))
        return;
    // A new buffer on the same memory: the copy played is left as it is.
    GstBuffer *copy = gst_buffer_copy(buffer);
    GST_BUFFER_PTS(copy) = time;
    GST_BUFFER_DTS(copy) = GST_CLOCK_TIME_NONE;
    gst_app_src_push_buffer(GST_APP_SRC(feed.appsrc), copy);
}

GstPadProbeReturn copyElementary(GstPad *pad, GstPadProbeInfo *info, gpointer data) {
    auto &feed = *static_cast<Feed *>(data);
    if (feed.side->line->isClosed())
        return GST_PAD_PROBE_REMOVE;
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            gst_event_copy_segment(event, &feed.segment);
            feed.segmentKnown = feed.segment.format == GST_FORMAT_TIME;
        }
        return GST_PAD_PROBE_OK;
    }
    if (!feed.appsrc) {
        if (!carried(pad))
            return GST_PAD_PROBE_REMOVE;
        GstCaps *caps = gst_pad_get_current_caps(pad);
        feed.appsrc = feed.side->addStream(caps);
        gst_caps_unref(caps);
        if (!feed.appsrc)
            return GST_PAD_PROBE_REMOVE;
    }
    forEachBuffer(info, [&feed](GstBuffer *buffer) { push(feed, buffer); });
    return GST_PAD_PROBE_OK;
}

} // namespace

StreamTapping::StreamTapping(std::shared_ptr<TapLine> line)
    : m_line(std::move(line)), m_side(std::make_shared<Side>(m_line)) {}

StreamTapping::~StreamTapping() {
    stop();
}

void StreamTapping::elementMade(GstElement *element, const QByteArray &name) {
    if (!name.startsWith("rtp") || !name.endsWith("depay"))
        return;
    const auto data = GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST);
    if (name == "rtpmp2tdepay") {
        GstPad *output = gst_element_get_static_pad(element, "src");
        gst_pad_add_probe(output, data, &copyTransportStream, new std::shared_ptr<TapLine>(m_line),
                          [](gpointer line) { delete static_cast<std::shared_ptr<TapLine> *>(line); });
        gst_object_unref(output);
        return;
    }
    auto *feed = new Feed;
    feed->side = m_side;
    gst_segment_init(&feed->segment, GST_FORMAT_UNDEFINED);
    GstPad *input = gst_element_get_static_pad(element, "sink");
    gst_pad_add_probe(input, GstPadProbeType(data | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM), &copyElementary,
                      feed, [](gpointer feed) { delete static_cast<Feed *>(feed); });
    gst_object_unref(input);
}

void StreamTapping::stop() {
    m_side->stop();
}
