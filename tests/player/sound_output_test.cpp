#include "player/pipeline/DeferredSoundSink.h"
#include "player/pipeline/SoundOutput.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

// The sound's sink of a pipeline started before the sound output was looked for.
namespace {

QByteArray childFactory(GstElement *bin) {
    QByteArray name;
    GstIterator *children = gst_bin_iterate_elements(GST_BIN(bin));
    GValue child = G_VALUE_INIT;
    if (gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
        name = gst_plugin_feature_get_name(
            GST_PLUGIN_FEATURE(gst_element_get_factory(GST_ELEMENT(g_value_get_object(&child)))));
        g_value_unset(&child);
    }
    gst_iterator_free(children);
    return name;
}

TEST(DeferredSoundSink, TakesTheSinkFoundOnceSoundIsAboutToFlowAndPlaysItThrough) {
    gst_init(nullptr, nullptr);
    GstElement *pipeline =
        gst_parse_launch("audiotestsrc num-buffers=20 ! audioconvert ! audioresample", nullptr);
    ASSERT_NE(pipeline, nullptr);
    GstElement *deferred = DeferredSoundSink::create(&SoundOutput::awaitSink);
    gst_bin_add(GST_BIN(pipeline), deferred);
    GstElement *resample = gst_bin_get_by_name(GST_BIN(pipeline), "audioresample0");
    ASSERT_TRUE(gst_element_link(resample, deferred));
    gst_object_unref(resample);

    // Ready costs nothing: the search has not been waited for yet.
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_READY), GST_STATE_CHANGE_FAILURE);
    EXPECT_EQ(childFactory(deferred), QByteArray());

    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end =
        gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_object_unref(bus);

    const QByteArray found = SoundOutput::awaitFound();
    EXPECT_EQ(childFactory(deferred), found.isEmpty() ? QByteArray("autoaudiosink") : found);
    // Once found, pipelines get that sink itself.
    GstElement *direct = SoundOutput::makeSink();
    gst_object_ref_sink(direct);
    EXPECT_NE(G_OBJECT_TYPE(direct), G_OBJECT_TYPE(deferred));
    gst_object_unref(direct);

    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

// A sink that failed is forgotten: the next pipeline searches again, as its sound is about to flow.
TEST(SoundOutput, AFailedSinkIsForgottenAndOnlySoundSinksCountAsIt) {
    gst_init(nullptr, nullptr);
    SoundOutput::awaitFound();
    const auto typeOf = [](GstElement *element) {
        gst_object_ref_sink(element);
        const GType type = G_OBJECT_TYPE(element);
        gst_object_unref(element);
        return type;
    };
    const GType deferred = typeOf(DeferredSoundSink::create(&SoundOutput::awaitSink));
    EXPECT_NE(typeOf(SoundOutput::makeSink()), deferred);
    SoundOutput::forget();
    EXPECT_EQ(typeOf(SoundOutput::makeSink()), deferred);
    SoundOutput::awaitFound();
    EXPECT_NE(typeOf(SoundOutput::makeSink()), deferred);

    for (const auto &[factory, sound] :
         {std::pair("autoaudiosink", true), std::pair("fakesink", false), std::pair("fakevideosink", false),
          std::pair("audiotestsrc", false)}) {
        GstElement *element = gst_element_factory_make(factory, nullptr);
        ASSERT_NE(element, nullptr) << factory;
        gst_object_ref_sink(element);
        EXPECT_EQ(SoundOutput::isSoundSink(GST_OBJECT(element)), sound) << factory;
        gst_object_unref(element);
    }
    GstElement *bin = DeferredSoundSink::create(&SoundOutput::awaitSink);
    gst_object_ref_sink(bin);
    EXPECT_TRUE(SoundOutput::isSoundSink(GST_OBJECT(bin)));
    gst_object_unref(bin);
}

} // namespace
