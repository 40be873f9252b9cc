#include "player/pipeline/SoundOutput.h"

#include "player/StartupTrace.h"
#include "player/pipeline/DeferredSoundSink.h"

#include <gst/gst.h>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

std::mutex s_mutex;
std::condition_variable s_probed;
int s_probing = 0;
// The factory of the sink that opened at the last probe; none before the first has ended.
std::optional<QByteArray> s_found;

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

QByteArray search() {
    GstElement *automatic = gst_element_factory_make("autoaudiosink", nullptr);
    if (!automatic)
        return {};
    gst_object_ref_sink(automatic);
    QByteArray found;
    if (gst_element_set_state(automatic, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE)
        found = chosenFactory(automatic);
    gst_element_set_state(automatic, GST_STATE_NULL);
    gst_object_unref(automatic);
    return found;
}

} // namespace

namespace SoundOutput {

void probe() {
    {
        std::lock_guard lock(s_mutex);
        ++s_probing;
    }
    const QByteArray found = search();
    StartupTrace::mark("sound output found");
    std::lock_guard lock(s_mutex);
    --s_probing;
    s_found = found;
    s_probed.notify_all();
}

void ensureProbed() {
    {
        std::lock_guard lock(s_mutex);
        if (s_found || s_probing > 0)
            return;
    }
    probe();
}

QByteArray awaitFound() {
    {
        std::unique_lock lock(s_mutex);
        s_probed.wait(lock, [] { return s_found || s_probing == 0; });
        if (s_found)
            return *s_found;
    }
    probe();
    std::lock_guard lock(s_mutex);
    return s_found.value_or(QByteArray());
}

GstElement *makeSink() {
    std::optional<QByteArray> found;
    {
        std::lock_guard lock(s_mutex);
        found = s_found;
    }
    return found ? makeFoundSink(*found) : DeferredSoundSink::create(&awaitSink);
}

GstElement *makeFoundSink(const QByteArray &factory) {
    GstElement *sink = factory.isEmpty() ? nullptr : gst_element_factory_make(factory.constData(), nullptr);
    if (!sink)
        return gst_element_factory_make("autoaudiosink", nullptr);
    // Without a device the sound is dropped in time with the picture, as the searching sink does it.
    if (factory == "fakesink")
        g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

GstElement *awaitSink() {
    return makeFoundSink(awaitFound());
}

void forget() {
    std::lock_guard lock(s_mutex);
    s_found.reset();
}

bool isSoundSink(GstObject *element) {
    if (!element || !GST_IS_ELEMENT(element))
        return false;
    const gchar *kind =
        gst_element_class_get_metadata(GST_ELEMENT_GET_CLASS(element), GST_ELEMENT_METADATA_KLASS);
    const QByteArray klass(kind ? kind : "");
    return klass.contains("Sink") && klass.contains("Audio");
}

} // namespace SoundOutput
