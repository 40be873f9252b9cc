#include "KeyFrameWatch.h"

#include "support/Wait.h"

#include "player/ring/RtspControlPath.h"

#include <gst/gst.h>

#include <cmath>

KeyFrameWatch::KeyFrameWatch(const QByteArray &address, bool elementary) {
    gst_init(nullptr, nullptr);
    // The same jitter buffer as the player's, so key frames come out of it when they do in the player.
    const QByteArray line =
        "rtspsrc name=src latency=" + QByteArray(elementary ? "300" : "100") + " location=" + address +
        (elementary ? " ! rtpmpvdepay ! mpegvideoparse" : " ! rtpmp2tdepay ! tsdemux ! h264parse") +
        " ! fakesink name=out sync=false";
    m_pipeline = gst_parse_launch(line.constData(), nullptr);
    if (!m_pipeline)
        return;
    GstElement *source = gst_bin_get_by_name(GST_BIN(m_pipeline), "src");
    RtspControlPath::followFrom(source, address);
    gst_object_unref(source);
    GstElement *out = gst_bin_get_by_name(GST_BIN(m_pipeline), "out");
    GstPad *input = gst_element_get_static_pad(out, "sink");
    gst_pad_add_probe(
        input, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            auto *self = static_cast<KeyFrameWatch *>(data);
            if (!GST_BUFFER_FLAG_IS_SET(GST_PAD_PROBE_INFO_BUFFER(info), GST_BUFFER_FLAG_DELTA_UNIT)) {
                const qint64 now = g_get_monotonic_time();
                const qint64 last = self->m_last.exchange(now);
                if (last)
                    self->m_gap = now - last;
                std::lock_guard lock(self->m_mutex);
                self->m_recent.append(now);
                if (self->m_recent.size() > 64)
                    self->m_recent.removeFirst();
            }
            return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    gst_object_unref(input);
    gst_object_unref(out);
    gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

KeyFrameWatch::~KeyFrameWatch() {
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
}

bool KeyFrameWatch::waitUntilKnown(int timeoutMs) {
    return waitUntil([this] { return m_gap.load() > 0; }, timeoutMs);
}

double KeyFrameWatch::msToKeyFrameAfter(qint64 startUs) const {
    std::lock_guard lock(m_mutex);
    for (qint64 arrival : m_recent) {
        if (arrival >= startUs)
            return double(arrival - startUs) / 1000.0;
    }
    return -1;
}

double KeyFrameWatch::gopMs() const {
    return m_gap / 1000.0;
}

void KeyFrameWatch::pauseUntilPhase(int minimumMs, double fraction) const {
    const qint64 earliest = g_get_monotonic_time() + qint64(minimumMs) * 1000;
    const qint64 gap = m_gap;
    const qint64 last = m_last;
    // The first moment at that point of a GOP after the earliest, counted from the last key frame.
    const qint64 offset = qint64(fraction * double(gap));
    const qint64 gops = qint64(std::ceil(double(earliest - last - offset) / double(gap)));
    const qint64 target = last + offset + std::max<qint64>(gops, 0) * gap;
    waitUntil([&] { return g_get_monotonic_time() >= target - 2000; }, minimumMs + 2 * int(gap / 1000) + 100,
              1);
    while (g_get_monotonic_time() < target)
        g_usleep(200);
}
