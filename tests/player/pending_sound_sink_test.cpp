#include "player/playback/PendingSoundSink.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <gtest/gtest.h>

// The sound sink of a pipeline started before the sound output is known, in a pipeline of live
// sound: it must let the pipeline play at once, then hand the sound to the output found.
namespace {

struct SoundPipeline {
    GstElement *pipeline = nullptr;
    GstElement *sink = nullptr;

    SoundPipeline() {
        gst_init(nullptr, nullptr);
        GError *error = nullptr;
        pipeline = gst_parse_launch("audiotestsrc is-live=true samplesperbuffer=480 "
                                    "! audio/x-raw,format=F32LE,rate=48000,channels=2 ! identity name=last",
                                    &error);
        g_clear_error(&error);
        sink = PendingSoundSink::create();
        gst_bin_add(GST_BIN(pipeline), sink);
        GstElement *last = gst_bin_get_by_name(GST_BIN(pipeline), "last");
        gst_element_link(last, sink);
        gst_object_unref(last);
    }
    ~SoundPipeline() {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    GstStateChangeReturn play() {
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        return gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
    }
    // The first child of the sink made by factory, or null (a new reference).
    GstElement *child(const char *factory) const {
        GstElement *found = nullptr;
        GstIterator *children = gst_bin_iterate_elements(GST_BIN(sink));
        GValue item = G_VALUE_INIT;
        while (!found && gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
            auto *element = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory *made = gst_element_get_factory(element);
            if (made && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(made)), factory) == 0)
                found = GST_ELEMENT(gst_object_ref(element));
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(children);
        return found;
    }
    bool hasError() const {
        GstBus *bus = gst_element_get_bus(pipeline);
        GstMessage *error = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        gst_object_unref(bus);
        if (error)
            gst_message_unref(error);
        return error != nullptr;
    }
};

TEST(PendingSoundSink, PlaysAtOnceThenHandsTheSoundToTheOutputFound) {
    SoundPipeline sound;
    ASSERT_EQ(sound.play(), GST_STATE_CHANGE_SUCCESS) << "the pipeline waited for a sound output";

    PendingSoundSink::resolve(sound.sink, "appsink");
    GstElement *output = sound.child("appsink");
    ASSERT_NE(output, nullptr);
    GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(output), 5 * GST_SECOND);
    ASSERT_NE(sample, nullptr) << "no sound reached the output found";
    const GstStructure *format = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    EXPECT_TRUE(gst_structure_has_name(format, "audio/x-raw"));
    gst_sample_unref(sample);
    gst_object_unref(output);

    GstElement *placeholder = sound.child("fakesink");
    EXPECT_EQ(placeholder, nullptr) << "the placeholder still takes sound";
    if (placeholder)
        gst_object_unref(placeholder);
    GstState state = GST_STATE_NULL;
    gst_element_get_state(sound.pipeline, &state, nullptr, 0);
    EXPECT_EQ(state, GST_STATE_PLAYING);
    EXPECT_FALSE(sound.hasError());
}

TEST(PendingSoundSink, WithoutASoundDeviceKeepsDroppingTheSoundInTime) {
    SoundPipeline sound;
    ASSERT_EQ(sound.play(), GST_STATE_CHANGE_SUCCESS);

    PendingSoundSink::resolve(sound.sink, "fakesink");
    GstElement *placeholder = sound.child("fakesink");
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(sound.sink)), 1);
    gboolean sync = FALSE;
    g_object_get(placeholder, "sync", &sync, nullptr);
    EXPECT_TRUE(sync) << "sound dropped as fast as it comes takes the picture's clock with it";
    gst_object_unref(placeholder);
    EXPECT_FALSE(sound.hasError());
}

} // namespace
