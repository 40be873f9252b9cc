#include "player/playback/HandoverPipeline.h"

#include "player/playback/SampleImage.h"
#include "player/playback/WarmSource.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace {

// The sinks play each packet this long after it came off the network: enough for the sound
// device to take the live part in time, short enough that the newest held picture shows at once.
constexpr GstClockTime kLatency = 60 * GST_MSECOND;
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
        const int held = self->m_source->attach(appsrc);
        // Only the newest of the held pictures is worth converting and showing.
        self->m_framesToSkip = std::max(0, held - 1);
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

    static GstPadProbeReturn skipHeldPictures(GstPad *, GstPadProbeInfo *, gpointer data) {
        auto *self = static_cast<HandoverPipeline *>(data);
        int left = self->m_framesToSkip;
        while (left > 0 && !self->m_framesToSkip.compare_exchange_weak(left, left - 1)) {
        }
        return left > 0 ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
    }

    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer data) {
        auto *self = static_cast<HandoverPipeline *>(data);
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        qreal pixelAspectRatio = 1.0;
        QImage image = imageOfSample(sample, &pixelAspectRatio);
        gst_sample_unref(sample);
        if (image.isNull())
            return GST_FLOW_OK;
        bool notify = false;
        {
            std::lock_guard lock(self->m_mutex);
            self->m_frame = std::move(image);
            self->m_pixelAspectRatio = pixelAspectRatio;
            notify = !self->m_frameWaiting;
            self->m_frameWaiting = true;
        }
        if (notify && self->m_onFrame)
            self->m_onFrame();
        return GST_FLOW_OK;
    }

    static GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data) {
        auto *self = static_cast<HandoverPipeline *>(data);
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if ((type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS) && !self->m_ended.exchange(true) &&
            self->m_onEnd)
            self->m_onEnd(type == GST_MESSAGE_ERROR);
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    // videoconvert ! appsink, behind a pad that drops the held pictures before they are converted.
    static GstElement *makeVideoSink(HandoverPipeline *self) {
        GstElement *bin = gst_bin_new(nullptr);
        GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
        GstElement *sink = gst_element_factory_make("appsink", nullptr);
        GstCaps *caps = gst_caps_from_string(kSampleImageCaps);
        g_object_set(sink, "caps", caps, "max-buffers", 1u, "drop", TRUE, "sync", TRUE, "enable-last-sample",
                     FALSE, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &Bridge::onNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, self, nullptr);
        gst_bin_add_many(GST_BIN(bin), convert, sink, nullptr);
        gst_element_link(convert, sink);
        GstPad *target = gst_element_get_static_pad(convert, "sink");
        GstPad *ghost = gst_ghost_pad_new("sink", target);
        gst_pad_add_probe(ghost, GST_PAD_PROBE_TYPE_BUFFER, &Bridge::skipHeldPictures, self, nullptr);
        gst_element_add_pad(bin, ghost);
        gst_object_unref(target);
        return bin;
    }
};

HandoverPipeline::HandoverPipeline(std::shared_ptr<WarmSource> source, const PlayerOptions &options,
                                   double volume)
    : m_source(std::move(source)), m_options(options), m_volume(volume) {}

HandoverPipeline::~HandoverPipeline() {
    teardown();
}

void HandoverPipeline::start() {
    GstClock *clock = m_source->clock();
    if (!clock) {
        if (!m_ended.exchange(true) && m_onEnd)
            m_onEnd(true);
        return;
    }
    GstElement *playbin = gst_element_factory_make("playbin", nullptr);
    QByteArray flags = "soft-volume+native-video";
    if (m_options.video)
        flags += "+video";
    if (m_options.audio)
        flags += "+audio";
    g_object_set(playbin, "uri", "appsrc://", "video-sink", Bridge::makeVideoSink(this), "volume", m_volume,
                 nullptr);
    gst_util_set_object_arg(G_OBJECT(playbin), "flags", flags.constData());
    g_signal_connect(playbin, "source-setup", G_CALLBACK(&Bridge::onSourceSetup), this);
    g_signal_connect(playbin, "element-setup", G_CALLBACK(&Bridge::onElementSetup), this);
    GstBus *bus = gst_element_get_bus(playbin);
    gst_bus_set_sync_handler(bus, &Bridge::onBusMessage, this, nullptr);
    gst_object_unref(bus);
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
    // The source stops feeding first: it stays open, warm again, for a step back.
    m_source->detach();
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void HandoverPipeline::setVolume(double volume) {
    if (m_pipeline)
        g_object_set(m_pipeline, "volume", volume, nullptr);
}

bool HandoverPipeline::takeFrame(QImage *frame, qreal *pixelAspectRatio) {
    std::lock_guard lock(m_mutex);
    if (!m_frameWaiting)
        return false;
    m_frameWaiting = false;
    *frame = std::move(m_frame);
    *pixelAspectRatio = m_pixelAspectRatio;
    return !frame->isNull();
}
