#include "player/ring/TsAssembly.h"

#include "player/PlayerLog.h"
#include "player/pipeline/FrameStamping.h"
#include "player/ring/RtpStreamChain.h"

#include <gst/gst.h>

#include <mutex>

namespace {

constexpr char kReceiverKey[] = "halcyon-ts-assembly";

// What the pipeline's signal handlers share, owned by the pipeline.
struct Receiver {
    QByteArray name;
    GstElement *pipeline = nullptr;
    GstElement *sink = nullptr;
    std::mutex mutex;
    // Set once a first stream is linked: a programme either comes whole in one transport stream or
    // in elementary streams, which go through one multiplexer.
    GstElement *mux = nullptr;
    bool transportStream = false;
};

// Feeds pad to element, already in the pipeline and linked downstream, and starts it.
void feed(Receiver &receiver, GstPad *pad, GstElement *element) {
    GstPad *input = gst_element_get_static_pad(element, "sink");
    if (gst_pad_link(pad, input) != GST_PAD_LINK_OK)
        qCWarning(lcPlayer) << receiver.name << "a stream does not link";
    gst_object_unref(input);
    gst_element_sync_state_with_parent(element);
}

// A stream nothing here carries (subtitles, data, a second programme layout): dropped, so its
// unlinked pad does not stop the session.
void discard(Receiver &receiver, GstPad *pad) {
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(receiver.pipeline), sink);
    feed(receiver, pad, sink);
}

GstPadProbeReturn stampFrame(GstPad *, GstPadProbeInfo *info, gpointer stamping) {
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const qint64 stamp =
        static_cast<FrameStamping *>(stamping)->stamp(GST_CLOCK_TIME_IS_VALID(pts) ? qint64(pts) : -1);
    if (stamp < 0)
        return GST_PAD_PROBE_DROP;
    if (GstClockTime(stamp) != pts) {
        buffer = gst_buffer_make_writable(buffer);
        GST_BUFFER_PTS(buffer) = GstClockTime(stamp);
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
    return GST_PAD_PROBE_OK;
}

// The multiplexer gives out each frame once every stream has caught up with it, a few hundred
// milliseconds after it came in, and stamped with its own time. Stamped instead when it comes out,
// the transport stream looks like one sent whole: a decoder taking it over plays it on time.
GstPadProbeReturn stampArrival(GstPad *pad, GstPadProbeInfo *info, gpointer) {
    GstElement *mux = GST_PAD_PARENT(pad);
    GstClock *clock = mux ? gst_element_get_clock(mux) : nullptr;
    if (!clock)
        return GST_PAD_PROBE_OK;
    const GstClockTime now = gst_clock_get_time(clock) - gst_element_get_base_time(mux);
    gst_object_unref(clock);
    const auto stamp = [](GstBuffer **buffer, guint, gpointer now) -> gboolean {
        *buffer = gst_buffer_make_writable(*buffer);
        GST_BUFFER_PTS(*buffer) = *static_cast<const GstClockTime *>(now);
        GST_BUFFER_DTS(*buffer) = GST_CLOCK_TIME_NONE;
        return TRUE;
    };
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList *list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
        gst_buffer_list_foreach(list, stamp, const_cast<GstClockTime *>(&now));
        GST_PAD_PROBE_INFO_DATA(info) = list;
    } else {
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        stamp(&buffer, 0, const_cast<GstClockTime *>(&now));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
    return GST_PAD_PROBE_OK;
}

GstElement *muxFor(Receiver &receiver) {
    if (receiver.mux)
        return receiver.mux;
    GstElement *mux = gst_element_factory_make("mpegtsmux", nullptr);
    if (!mux)
        return nullptr;
    // Each coded frame's packets go out at once, as one list, not held back to fill a count.
    g_object_set(mux, "alignment", 0, nullptr);
    gst_bin_add(GST_BIN(receiver.pipeline), mux);
    if (!gst_element_link(mux, receiver.sink)) {
        gst_bin_remove(GST_BIN(receiver.pipeline), mux);
        return nullptr;
    }
    GstPad *output = gst_element_get_static_pad(mux, "src");
    gst_pad_add_probe(output, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      &stampArrival, nullptr, nullptr);
    gst_object_unref(output);
    gst_element_sync_state_with_parent(mux);
    receiver.mux = mux;
    return mux;
}

void linkElementary(Receiver &receiver, GstPad *pad, const QByteArray &description) {
    GError *error = nullptr;
    GstElement *chain = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    GstElement *mux = chain ? muxFor(receiver) : nullptr;
    if (error || !mux) {
        qCWarning(lcPlayer) << receiver.name << description << "cannot be built"
                            << (error ? error->message : "");
        g_clear_error(&error);
        if (chain)
            gst_object_unref(chain);
        discard(receiver, pad);
        return;
    }
    gst_bin_add(GST_BIN(receiver.pipeline), chain);
    GstPad *muxInput = gst_element_request_pad_simple(mux, "sink_%d");
    GstPad *chainOutput = gst_element_get_static_pad(chain, "src");
    if (gst_pad_link(chainOutput, muxInput) != GST_PAD_LINK_OK)
        qCWarning(lcPlayer) << receiver.name << description << "does not link to the multiplexer";
    gst_pad_add_probe(chainOutput, GST_PAD_PROBE_TYPE_BUFFER, &stampFrame, new FrameStamping,
                      [](gpointer stamping) { delete static_cast<FrameStamping *>(stamping); });
    gst_object_unref(chainOutput);
    gst_object_unref(muxInput);
    feed(receiver, pad, chain);
}

Receiver *receiverOf(GstElement *pipeline) {
    return static_cast<Receiver *>(g_object_get_data(G_OBJECT(pipeline), kReceiverKey));
}

} // namespace

void TsAssembly::link(GstElement *pipeline, GstPad *pad, GstCaps *given) {
    Receiver *receiver = receiverOf(pipeline);
    if (!receiver)
        return;
    GstCaps *caps = given ? gst_caps_ref(given) : gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    if (gst_caps_is_empty(caps)) {
        gst_caps_unref(caps);
        discard(*receiver, pad);
        return;
    }
    const GstStructure *stream = gst_caps_get_structure(caps, 0);
    const QByteArray media = gst_structure_get_string(stream, "media");
    int payloadType = -1;
    gst_structure_get_int(stream, "payload", &payloadType);
    const QByteArray encodingName =
        RtpStreamChain::encodingName(gst_structure_get_string(stream, "encoding-name"), payloadType);
    gst_caps_unref(caps);

    std::lock_guard lock(receiver->mutex);
    if (RtpStreamChain::isTransportStream(encodingName) && !receiver->mux && !receiver->transportStream) {
        receiver->transportStream = true;
        GstElement *depayloader = gst_element_factory_make("rtpmp2tdepay", nullptr);
        gst_bin_add(GST_BIN(receiver->pipeline), depayloader);
        gst_element_link(depayloader, receiver->sink);
        feed(*receiver, pad, depayloader);
        return;
    }
    const QByteArray description = RtpStreamChain::forStream(media, encodingName);
    qCDebug(lcPlayer) << receiver->name << media << encodingName
                      << (description.isEmpty() ? QByteArray("dropped") : description);
    if (description.isEmpty() || receiver->transportStream)
        discard(*receiver, pad);
    else
        linkElementary(*receiver, pad, description);
}

void TsAssembly::prepare(GstElement *pipeline, GstElement *sink, const QByteArray &name) {
    auto *receiver = new Receiver;
    receiver->name = name + ':';
    receiver->pipeline = pipeline;
    receiver->sink = sink;
    g_object_set_data_full(G_OBJECT(pipeline), kReceiverKey, receiver,
                           [](gpointer data) { delete static_cast<Receiver *>(data); });
}
