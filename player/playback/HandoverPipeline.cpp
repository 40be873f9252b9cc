#include "player/playback/HandoverPipeline.h"

#include "player/playback/PipelineSupport.h"
#include "player/playback/WarmSource.h"

#include <gst/app/gstappsink.h>
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

// Everything that runs on GStreamer's threads or the pipeline thread.
struct HandoverPipeline::Bridge {
    static void onSourceSetup(GstElement *, GstElement *source, gpointer data) {
        auto *self = static_cast<HandoverPipeline *>(data);
        if (!GST_IS_APP_SRC(source))
            return;
        GstAppSrc *appsrc = GST_APP_SRC(source);
        GstCaps *caps = gst_caps_from_string("video/mpegts,systemstream=(boolean)true,packetsize=(int)188");
        gst_app_src_set_caps(appsrc, caps);
        gst_caps_unref(caps);
        g_object_set(appsrc, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE, "max-bytes",
                     kMaxQueuedBytes, nullptr);
        gst_util_set_object_arg(G_OBJECT(appsrc), "leaky-type", "downstream");
        // Only the newest held pictures the decoder gives out at once are worth converting and
        // showing: the last few come out only as live ones push them through.
        self->m_appsrc = appsrc;
        self->m_source->attach(appsrc, [self](int held) {
            self->m_pictures.gate().drop(std::max(0, held - 1 - kDecoderDelayFrames));
        });
    }

    static void onElementSetup(GstElement *, GstElement *element, gpointer) {
        GstElementFactory *factory = gst_element_get_factory(element);
        if (!factory)
            return;
        const QByteArray name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
        if (name == "tsdemux")
            g_object_set(element, "latency", gint(0), nullptr);
        else if (name == "avdec_h264")
            g_object_set(element, "output-corrupt", FALSE, nullptr);
    }

    static GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data) {
        auto *self = static_cast<HandoverPipeline *>(data);
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS)
            end(self, type == GST_MESSAGE_ERROR);
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    static void end(HandoverPipeline *self, bool error) {
        if (!self->m_ended.exchange(true) && self->m_events.ended)
            self->m_events.ended(error);
    }
};

HandoverPipeline::HandoverPipeline(std::shared_ptr<WarmSource> source, const PlayerOptions &options,
                                   Events events)
    : m_source(std::move(source)), m_options(options), m_events(std::move(events)),
      m_pictures(m_events.pictureWaiting) {}

HandoverPipeline::~HandoverPipeline() {
    teardown();
}

void HandoverPipeline::start(double volume, QSize pictureBound) {
    std::lock_guard lock(m_lifecycle);
    if (m_cancelled)
        return;
    GstClock *clock = m_source->clock();
    if (!clock) {
        Bridge::end(this, true);
        return;
    }
    GstElement *playbin = PipelineSupport::makePlaybin("appsrc://", m_options, volume, m_pictures,
                                                       pictureBound, G_CALLBACK(&Bridge::onSourceSetup),
                                                       G_CALLBACK(&Bridge::onElementSetup), this);
    PipelineSupport::setBusSyncHandler(playbin, &Bridge::onBusMessage, this);
    // The packets carry the source's running time: run on its clock from its base time.
    gst_pipeline_use_clock(GST_PIPELINE(playbin), clock);
    gst_object_unref(clock);
    gst_element_set_start_time(playbin, GST_CLOCK_TIME_NONE);
    gst_element_set_base_time(playbin, m_source->baseTime());
    gst_pipeline_set_latency(GST_PIPELINE(playbin), kLatency);
    m_pipeline = playbin;
    gst_element_set_state(playbin, GST_STATE_PLAYING);
}

void HandoverPipeline::teardown() {
    std::lock_guard lock(m_lifecycle);
    m_cancelled = true;
    if (!m_pipeline)
        return;
    // The source stops feeding first: it stays open, warm again, for a step back.
    m_source->detach(m_appsrc);
    PipelineSupport::stopAndRelease(m_pipeline);
}

void HandoverPipeline::setVolume(double volume) {
    std::lock_guard lock(m_lifecycle);
    if (m_pipeline)
        g_object_set(m_pipeline, "volume", volume, nullptr);
}

void HandoverPipeline::setPictureBound(QSize bound) {
    std::lock_guard lock(m_lifecycle);
    if (m_pipeline)
        m_pictures.setBound(bound);
}
