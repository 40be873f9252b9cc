#include "player/warm/WarmSource.h"

#include "player/PlayerLog.h"
#include "player/engine/PipelineError.h"
#include "player/engine/ServerBye.h"
#include "player/engine/TapLine.h"
#include "player/pipeline/PipelineSupport.h"
#include "player/pipeline/StreamFactsReader.h"
#include "player/warm/WarmPipeline.h"

#include <algorithm>
#include <utility>

namespace {

// Packets after a gap this long do not continue what the ring holds: it waits for a key frame.
constexpr qint64 kGapMs = 300;

qint64 monotonicMs() {
    return qint64(g_get_monotonic_time() / 1000);
}

} // namespace

WarmSource::WarmSource(const QString &address, int latencyMs, const TsRing::Limits &limits)
    : m_address(address), m_latencyMs(latencyMs), m_ring(limits) {}

WarmSource::~WarmSource() {
    close();
}

void WarmSource::open() {
    std::lock_guard lifecycle(m_lifecycle);
    if (m_closed)
        return;
    GstElement *pipeline = WarmPipeline::make(m_address, m_latencyMs);
    if (!pipeline) {
        fail(WarmFailure::Unsupported);
        return;
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &WarmSource::onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    g_object_set(sink, "buffer-list", TRUE, nullptr);
    gst_object_unref(sink);
    // The decoder that takes over runs on this clock: the system's, never an audio device's.
    GstClock *clock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
    gst_object_unref(clock);
    PipelineSupport::setBusSyncHandler(pipeline, &WarmSource::onBusMessage, this);
    m_pipeline = pipeline;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        fail(WarmFailure::Broken);
}

void WarmSource::close() {
    GstElement *pipeline = nullptr;
    {
        std::lock_guard lifecycle(m_lifecycle);
        m_closed = true;
        pipeline = std::exchange(m_pipeline, nullptr);
    }
    if (!pipeline)
        return;
    detach(nullptr);
    tapInto(nullptr, false);
    // Sends the TEARDOWN and waits for it, so the box counts the session free before the next SETUP.
    PipelineSupport::stopAndRelease(pipeline);
}

bool WarmSource::isReady(int maxSilenceMs) const {
    if (m_failed || isSilentFor(maxSilenceMs))
        return false;
    std::lock_guard lock(m_mutex);
    return m_ring.hasKeyFrame();
}

bool WarmSource::isSilentFor(int ms) const {
    const qint64 last = m_lastDataMs;
    return last < 0 || monotonicMs() - last > ms;
}

qsizetype WarmSource::bytesHeld() const {
    std::lock_guard lock(m_mutex);
    return m_ring.bytesHeld();
}

PictureSink::Picture WarmSource::keyFramePicture(int maxSilenceMs) const {
    if (m_failed || isSilentFor(maxSilenceMs))
        return {};
    std::lock_guard lock(m_mutex);
    return m_keyFramePicture;
}

TsRing::KeyFrame WarmSource::heldKeyFrame() const {
    std::lock_guard lock(m_mutex);
    return m_ring.keyFrame();
}

void WarmSource::setKeyFramePicture(const PictureSink::Picture &picture) {
    {
        std::lock_guard lock(m_mutex);
        // A picture decoded while the channel was handed over would outstay it (see attach()).
        if (!picture.image.isNull() && !m_consumer)
            m_keyFramePicture = picture;
    }
    m_pictureRequested = false;
}

GstClock *WarmSource::clock() const {
    std::lock_guard lifecycle(m_lifecycle);
    return m_pipeline ? gst_element_get_clock(m_pipeline) : nullptr;
}

GstClockTime WarmSource::baseTime() const {
    std::lock_guard lifecycle(m_lifecycle);
    return m_pipeline ? gst_element_get_base_time(m_pipeline) : GST_CLOCK_TIME_NONE;
}

void WarmSource::attach(GstAppSrc *appsrc, const std::function<void(int held)> &beforeFeeding) {
    std::lock_guard lock(m_mutex);
    // No key frame is decoded while the channel is watched: the picture kept would be older and
    // older, and a step back to the channel must not show it.
    m_keyFramePicture = {};
    beforeFeeding(m_ring.framesHeld());
    for (const TsRing::Chunk &chunk : m_ring.snapshot()) {
        GstBuffer *buffer = gst_buffer_new_memdup(chunk.packets.constData(), gsize(chunk.packets.size()));
        GST_BUFFER_PTS(buffer) = GstClockTime(chunk.runningTimeNs);
        gst_app_src_push_buffer(appsrc, buffer);
    }
    if (m_consumer)
        gst_object_unref(m_consumer);
    m_consumer = GST_APP_SRC(gst_object_ref(appsrc));
}

void WarmSource::detach(GstAppSrc *appsrc) {
    std::lock_guard lock(m_mutex);
    if (!m_consumer || (appsrc && m_consumer != appsrc))
        return;
    gst_object_unref(m_consumer);
    m_consumer = nullptr;
    m_keyFramePicture = {};
}

void WarmSource::tapInto(std::shared_ptr<TapLine> line, bool withHeld) {
    // The held packets' arrival, from how long ago they ran on this session's clock.
    GstClock *clock = withHeld && line ? this->clock() : nullptr;
    const GstClockTime base = baseTime();
    std::lock_guard lock(m_mutex);
    const bool same = line == m_tap;
    m_tap = std::move(line);
    if (same || !m_tap || !withHeld) {
        if (clock)
            gst_object_unref(clock);
        return;
    }
    const qint64 arrival = StreamArrival::nowNs();
    const qint64 runningNow = clock ? qint64(gst_clock_get_time(clock) - base) : 0;
    for (const TsRing::Chunk &chunk : m_ring.snapshot())
        m_tap->deliver(chunk.packets,
                       clock ? arrival - std::max<qint64>(0, runningNow - chunk.runningTimeNs) : arrival);
    if (clock)
        gst_object_unref(clock);
}

GstFlowReturn WarmSource::onNewSample(GstAppSink *sink, gpointer data) {
    auto *self = static_cast<WarmSource *>(data);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    GstBuffer *first = gst_sample_get_buffer(sample);
    GstBufferList *list = gst_sample_get_buffer_list(sample);
    if (!first && list && gst_buffer_list_length(list) > 0)
        first = gst_buffer_list_get(list, 0);
    const GstSegment *segment = gst_sample_get_segment(sample);
    GstClockTime runningTime = GST_CLOCK_TIME_NONE;
    if (first && segment && GST_BUFFER_PTS_IS_VALID(first))
        runningTime = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(first));
    if (GST_CLOCK_TIME_IS_VALID(runningTime)) {
        // The multiplexer gives the packets of one coded frame as one list.
        QByteArray packets;
        const auto append = [&packets](GstBuffer *buffer) {
            GstMapInfo map;
            if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                packets.append(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
                gst_buffer_unmap(buffer, &map);
            }
        };
        if (list) {
            for (guint i = 0; i < gst_buffer_list_length(list); ++i)
                append(gst_buffer_list_get(list, i));
        } else {
            append(first);
        }
        self->take(packets, qint64(runningTime), GST_BUFFER_FLAG_IS_SET(first, GST_BUFFER_FLAG_DISCONT));
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void WarmSource::take(const QByteArray &packets, qint64 runningTimeNs, bool discontinuous) {
    const qint64 now = monotonicMs();
    const qint64 last = m_lastDataMs.exchange(now);
    m_bytesReceived += packets.size();
    bool keyFrameWhole = false;
    {
        std::lock_guard lock(m_mutex);
        if ((last >= 0 && now - last > kGapMs) || discontinuous) {
            m_ring.clear();
            // What the channel showed before the gap is no picture of it now.
            m_keyFramePicture = {};
        }
        if (m_tap)
            m_tap->deliver(packets, StreamArrival::nowNs());
        const int framesBefore = m_ring.framesHeld();
        m_ring.push(packets, runningTimeNs);
        // The key frame is whole once the picture after it starts: the count reaches two, or
        // starts again lower with a new key frame and its next picture in the same buffer.
        const int frames = m_ring.framesHeld();
        // A channel being watched is decoded already.
        keyFrameWhole = frames >= 2 && (framesBefore < 2 || frames < framesBefore) && !m_consumer;
        if (m_consumer) {
            // Shares the bytes, not copied again.
            auto *held = new QByteArray(packets);
            GstBuffer *live = gst_buffer_new_wrapped_full(
                GST_MEMORY_FLAG_READONLY, const_cast<char *>(held->constData()), gsize(held->size()), 0,
                gsize(held->size()), held, [](gpointer bytes) { delete static_cast<QByteArray *>(bytes); });
            GST_BUFFER_PTS(live) = GstClockTime(runningTimeNs);
            gst_app_src_push_buffer(m_consumer, live);
        }
    }
    if (keyFrameWhole && m_onKeyFrame)
        m_onKeyFrame();
}

GstBusSyncReply WarmSource::onBusMessage(GstBus *, GstMessage *message, gpointer data) {
    auto *self = static_cast<WarmSource *>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        // Whether the box is out of sessions or this one stream is at fault decides what is tried next.
        const PipelineError::Told error = PipelineError::told(message);
        self->fail(WarmFailures::fromError(error.domain, error.code, error.debug));
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        qCDebug(lcPlayer) << "warm" << self->m_address << "end of stream";
        self->fail(WarmFailure::Ended);
    } else if (const std::optional<guint> ssrc = ServerBye::ssrcOf(message)) {
        // A BYE naming another SSRC than the session's leaves it silent: ended all the same.
        qCDebug(lcPlayer) << "warm" << self->m_address << "RTCP BYE naming SSRC" << *ssrc;
        self->fail(WarmFailure::Ended);
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void WarmSource::fail(WarmFailure failure) {
    if (m_failed.exchange(true))
        return;
    if (m_onFailure)
        m_onFailure(failure);
}

qint64 WarmSource::lostPackets() const {
    GstElement *pipeline = nullptr;
    {
        // Asked from the window's thread: an open or close under way is not waited for.
        std::unique_lock lock(m_lifecycle, std::try_to_lock);
        if (!lock.owns_lock() || !m_pipeline)
            return -1;
        pipeline = GST_ELEMENT(gst_object_ref(m_pipeline));
    }
    const qint64 lost = StreamFactsReader::lostPackets(pipeline);
    gst_object_unref(pipeline);
    return lost;
}
