#include "player/playback/SoundOutput.h"

#include <QByteArray>
#include <gst/gst.h>

#include <mutex>

namespace {

std::mutex s_mutex;
// The factory of the sink that opened at the last probe; empty before the first.
QByteArray s_found;

// The element autoaudiosink settled on once ready: its only child.
QByteArray chosenFactory(GstElement *automatic) {
    QByteArray name;
    GstIterator *children = gst_bin_iterate_elements(GST_BIN(automatic));
    GValue child = G_VALUE_INIT;
    if (gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
        GstElementFactory *factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&child)));
        if (factory)
            name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
        g_value_unset(&child);
    }
    gst_iterator_free(children);
    return name;
}

} // namespace

namespace SoundOutput {

void probe() {
    GstElement *automatic = gst_element_factory_make("autoaudiosink", nullptr);
    if (!automatic)
        return;
    gst_object_ref_sink(automatic);
    QByteArray found;
    if (gst_element_set_state(automatic, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE)
        found = chosenFactory(automatic);
    gst_element_set_state(automatic, GST_STATE_NULL);
    gst_object_unref(automatic);
    std::lock_guard lock(s_mutex);
    s_found = found;
}

GstElement *makeSink() {
    QByteArray found;
    {
        std::lock_guard lock(s_mutex);
        found = s_found;
    }
    GstElement *sink = found.isEmpty() ? nullptr : gst_element_factory_make(found.constData(), nullptr);
    if (!sink)
        return gst_element_factory_make("autoaudiosink", nullptr);
    // Without a device the sound is dropped in time with the picture, as the searching sink does it.
    if (found == "fakesink")
        g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

} // namespace SoundOutput
