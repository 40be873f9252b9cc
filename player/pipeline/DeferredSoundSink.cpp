#include "player/pipeline/DeferredSoundSink.h"

#include <gst/gst.h>

namespace {

struct HalcyonDeferredSoundSink {
    GstBin parent;
    GstPad *input;
    GstElement *output;
    DeferredSoundSink::Output makeOutput;
};

struct HalcyonDeferredSoundSinkClass {
    GstBinClass parent;
};

G_DEFINE_TYPE(HalcyonDeferredSoundSink, halcyon_deferred_sound_sink, GST_TYPE_BIN)

// Puts the sink the search found inside the bin, ready, behind the bin's input.
bool addOutput(HalcyonDeferredSoundSink *self) {
    GstElement *sink = self->makeOutput ? self->makeOutput() : nullptr;
    if (!sink)
        return false;
    gst_bin_add(GST_BIN(self), sink);
    if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(self), sink);
        return false;
    }
    GstPad *target = gst_element_get_static_pad(sink, "sink");
    gst_ghost_pad_set_target(GST_GHOST_PAD(self->input), target);
    gst_object_unref(target);
    self->output = sink;
    return true;
}

GstStateChangeReturn changeState(GstElement *element, GstStateChange transition) {
    auto *self = reinterpret_cast<HalcyonDeferredSoundSink *>(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED && !self->output && !addOutput(self)) {
        GST_ELEMENT_ERROR(element, RESOURCE, OPEN_WRITE, ("No sound output could be opened"), (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    return GST_ELEMENT_CLASS(halcyon_deferred_sound_sink_parent_class)->change_state(element, transition);
}

void halcyon_deferred_sound_sink_class_init(HalcyonDeferredSoundSinkClass *klass) {
    auto *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Deferred sound sink", "Sink/Audio/Bin",
                                          "Opens the sound output found once sound is about to flow",
                                          "Halcyon TV");
    element->change_state = &changeState;
}

void halcyon_deferred_sound_sink_init(HalcyonDeferredSoundSink *self) {
    self->input = gst_ghost_pad_new_no_target("sink", GST_PAD_SINK);
    gst_element_add_pad(GST_ELEMENT(self), self->input);
    self->output = nullptr;
    self->makeOutput = nullptr;
    // A sink from the start, for the pipeline that holds it, before the real one is inside.
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SINK);
}

} // namespace

GstElement *DeferredSoundSink::create(Output output) {
    auto *sink = static_cast<HalcyonDeferredSoundSink *>(
        g_object_new(halcyon_deferred_sound_sink_get_type(), nullptr));
    sink->makeOutput = output;
    return GST_ELEMENT(sink);
}
