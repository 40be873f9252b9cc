#include "player/playback/PendingSoundSink.h"

#include <gst/gst.h>

#include <utility>
#include <vector>

namespace {

struct Output {
    std::vector<GstElement *> chain;
    // Linking the chain asks upstream to negotiate again, which comes back through the probe.
    bool swapping = false;
};

constexpr const char *kPlaceholder = "placeholder";

GstElement *placeholderSink() {
    GstElement *sink = gst_element_factory_make("fakesink", kPlaceholder);
    // In time with the picture, as a sound device takes it; never waited for to start.
    g_object_set(sink, "sync", TRUE, "async", FALSE, nullptr);
    return sink;
}

// Runs while no sound passes the bin's input: the chain to the output takes the placeholder's
// place without a buffer caught half way.
GstPadProbeReturn swapOutputs(GstPad *input, GstPadProbeInfo *, gpointer data) {
    auto *output = static_cast<Output *>(data);
    if (std::exchange(output->swapping, true))
        return GST_PAD_PROBE_OK;
    const std::vector<GstElement *> &chain = output->chain;
    GstElement *bin = GST_ELEMENT(gst_object_get_parent(GST_OBJECT(input)));
    if (!bin)
        return GST_PAD_PROBE_REMOVE;
    // Playing before it is linked, so the first sound that reaches it is taken.
    for (GstElement *element : chain)
        gst_element_sync_state_with_parent(element);
    GstPad *target = gst_element_get_static_pad(chain.front(), "sink");
    gst_ghost_pad_set_target(GST_GHOST_PAD(input), target);
    gst_object_unref(target);
    if (GstElement *placeholder = gst_bin_get_by_name(GST_BIN(bin), kPlaceholder)) {
        gst_element_set_state(placeholder, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(bin), placeholder);
        gst_object_unref(placeholder);
    }
    gst_object_unref(bin);
    return GST_PAD_PROBE_REMOVE;
}

} // namespace

namespace PendingSoundSink {

GstElement *create() {
    GstElement *bin = gst_bin_new(nullptr);
    // The output added later starts on its own, without taking the running pipeline back to a
    // paused state while it does.
    g_object_set(bin, "async-handling", TRUE, nullptr);
    GstElement *placeholder = placeholderSink();
    gst_bin_add(GST_BIN(bin), placeholder);
    GstPad *input = gst_element_get_static_pad(placeholder, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    return bin;
}

void resolve(GstElement *bin, const QByteArray &factory) {
    if (factory == "fakesink")
        return;
    GstElement *sink =
        gst_element_factory_make(factory.isEmpty() ? "autoaudiosink" : factory.constData(), nullptr);
    if (!sink)
        return;
    // The placeholder took the decoder's format as it came; the output may want another.
    auto *output = new Output;
    for (const char *converter : {"audioconvert", "audioresample"}) {
        if (GstElement *element = gst_element_factory_make(converter, nullptr))
            output->chain.push_back(element);
    }
    output->chain.push_back(sink);
    std::vector<GstElement *> &chain = output->chain;
    for (size_t i = 0; i < chain.size(); ++i) {
        gst_bin_add(GST_BIN(bin), chain[i]);
        if (i > 0)
            gst_element_link(chain[i - 1], chain[i]);
    }
    GstPad *input = gst_element_get_static_pad(bin, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_IDLE, &swapOutputs, output,
                      [](gpointer data) { delete static_cast<Output *>(data); });
    gst_object_unref(input);
}

} // namespace PendingSoundSink
