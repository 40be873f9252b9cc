#include "player/ring/RingInput.h"

#include "player/PlayerLog.h"
#include "player/pipeline/PictureSink.h"
#include "player/warm/WarmSource.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>

namespace {

// The sinks play each packet this long after it came off the network, as the cold path does: the
// sound device takes the live part in time, and the newest held picture (which left the warm
// session's jitter buffer 50 to 90 ms after it arrived) is due within the picture sink's lateness.
constexpr GstClockTime kLatency = 100 * GST_MSECOND;
// Pictures a decoder holds back before it gives one out: the reordering of B-frames (two with the
// broadcasters' usual pyramid) and one more for each thread but the first decoding frames in turn.
// The hand-over's first picture is that much older than the newest held one, but shows without
// waiting a hundred milliseconds or more for live pictures to push it out.
constexpr int kDecoderDelayFrames = 3;
// What appsrc may queue if the decoder falls behind (about 20 s of a 1.6 Mbit/s channel).
constexpr guint64 kMaxQueuedBytes = 4 * 1024 * 1024;

} // namespace

void RingInput::setUpSource(GstElement *source, PictureSink &pictures, const PipelineSettings &) {
    if (!GST_IS_APP_SRC(source))
        return;
    GstAppSrc *appsrc = GST_APP_SRC(source);
    GstCaps *caps = gst_caps_from_string("video/mpegts,systemstream=(boolean)true,packetsize=(int)188");
    gst_app_src_set_caps(appsrc, caps);
    gst_caps_unref(caps);
    g_object_set(appsrc, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE, "max-bytes",
                 kMaxQueuedBytes, nullptr);
    gst_util_set_object_arg(G_OBJECT(appsrc), "leaky-type", "downstream");
    m_appsrc = appsrc;
    // Only the newest held pictures the decoder gives out at once are worth converting and showing:
    // the last few come out only as live ones push them through.
    m_source->attach(
        appsrc, [&pictures](int held) { pictures.gate().drop(std::max(0, held - 1 - kDecoderDelayFrames)); });
}

bool RingInput::prepare(GstElement *playbin) {
    GstClock *clock = m_source->clock();
    if (!clock) {
        qCDebug(lcPlayer) << "warm" << m_source->address() << "has no clock to hand over";
        return false;
    }
    // The packets carry the source's running time: run on its clock from its base time.
    gst_pipeline_use_clock(GST_PIPELINE(playbin), clock);
    gst_object_unref(clock);
    gst_element_set_start_time(playbin, GST_CLOCK_TIME_NONE);
    gst_element_set_base_time(playbin, m_source->baseTime());
    gst_pipeline_set_latency(GST_PIPELINE(playbin), kLatency);
    return true;
}

void RingInput::release() {
    if (m_appsrc)
        m_source->detach(m_appsrc);
}
