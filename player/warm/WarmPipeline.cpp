#include "player/warm/WarmPipeline.h"

#include "player/PlayerLog.h"
#include "player/engine/ServerBye.h"
#include "player/pipeline/StreamLatency.h"
#include "player/ring/RtspControlPath.h"
#include "player/ring/TsAssembly.h"

#include <QByteArray>
#include <gst/gst.h>
#include <gst/sdp/gstsdpmessage.h>

namespace {

void onPadAdded(GstElement *, GstPad *pad, GstElement *pipeline) {
    TsAssembly::link(pipeline, pad);
}

// Plain RTP video comes reordered when it has B-frames: its jitter buffer needs the room the cold
// path gives it, or it resets about once a second and the ring loses its key frame.
void onDescription(GstElement *source, GstSDPMessage *sdp, gpointer latencyMs) {
    const int needed = StreamLatency::forDescription(sdp);
    if (needed != StreamLatency::kTransportStreamMs && needed > GPOINTER_TO_INT(latencyMs))
        g_object_set(source, "latency", guint(needed), nullptr);
}

} // namespace

GstElement *WarmPipeline::make(const QString &address, int latencyMs) {
    GstElement *source = gst_element_factory_make("rtspsrc", "src");
    GstElement *sink = gst_element_factory_make("appsink", "sink");
    if (!source || !sink) {
        if (source)
            gst_object_unref(source);
        if (sink)
            gst_object_unref(sink);
        return nullptr;
    }
    GstElement *pipeline = gst_pipeline_new(nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, sink, nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    const QByteArray location = address.toUtf8();
    TsAssembly::prepare(pipeline, sink, "warm " + location);
    g_object_set(source, "location", location.constData(), "latency", guint(latencyMs), nullptr);
    g_signal_connect(source, "pad-added", G_CALLBACK(&onPadAdded), pipeline);
    g_signal_connect(source, "on-sdp", G_CALLBACK(&onDescription), GINT_TO_POINTER(latencyMs));
    RtspControlPath::followFrom(source, location);
    ServerBye::watch(source);
    return pipeline;
}
