#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/BackgroundQueue.h"
#include "player/PrivateLibrary.h"
#include "player/TuneSequence.h"
#include "player/engine/GstPlugins.h"
#include "player/engine/PipelineError.h"
#include "player/pipeline/PlaybackPipeline.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>

// What start-up loads, and when: the elements of the connection before the decoders, the decoders
// once the stream flows, the program's own libraries when first used.
namespace {

bool pluginLoaded(const char *name) {
    GstPlugin *plugin = gst_registry_find_plugin(gst_registry_get(), name);
    const bool loaded = plugin && gst_plugin_is_loaded(plugin);
    if (plugin)
        gst_object_unref(plugin);
    return loaded;
}

TEST(StartupLoading, TheConnectionsElementsLoadBeforeAndWithoutTheDecoders) {
    gst_init(nullptr, nullptr);
    if (pluginLoaded("libav"))
        GTEST_SKIP() << "the decoders were loaded earlier in this process";
    GstPlugins::preloadForConnection();
    for (const char *plugin : {"rtsp", "rtpmanager", "udp", "rtp", "mpegtsdemux", "videoparsersbad"})
        EXPECT_TRUE(pluginLoaded(plugin)) << plugin;
    EXPECT_FALSE(pluginLoaded("libav")) << "FFmpeg's libraries would hold the connection back";
    GstPlugins::preloadForPictures();
    EXPECT_TRUE(pluginLoaded("libav"));
}

class StreamArrival : public ::testing::TestWithParam<const char *> {};

// Told once as the first packets come, whether in a transport stream or as the pictures alone.
TEST_P(StreamArrival, IsToldOnceAsTheFirstPacketsCome) {
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = {201};
    options.profile = QString::fromLatin1(GetParam());
    ASSERT_TRUE(box.start(options)) << box.error().toStdString();
    gst_init(nullptr, nullptr);

    std::atomic<int> told{0}, pictures{0};
    std::atomic<PlaybackPipeline *> playing{nullptr};
    PlaybackPipeline::Events events;
    // Each picture taken as it comes, so the next one is told too.
    events.pictureWaiting = [&] {
        ++pictures;
        playing.load()->takePicture();
    };
    // An end before the pictures would leave the wait below with nothing to say: it says this.
    std::mutex endMutex;
    std::string ended;
    events.finished = [&](const GstMessagePtr &message) {
        const PipelineError::Told error = PipelineError::told(message.get());
        std::lock_guard lock(endMutex);
        ended = GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR
                    ? (error.message + QStringLiteral(" | ") + error.debug).toStdString()
                    : "end of stream";
    };
    events.streamsKnown = [](int, int, bool) {};
    BackgroundQueue thread;
    const PlayTarget target = tuneTarget(box.address(201), {"nooverlay"});
    auto pipeline = std::make_shared<PlaybackPipeline>(PlaybackPipeline::uriFor(target.address),
                                                       target.options, thread, events);
    playing = pipeline.get();
    pipeline->whenStreamArrives([&] { ++told; });
    PipelineSettings settings;
    settings.volume = 50;
    settings.pictureBound = QSize(320, 240);
    thread.post([pipeline, settings] { pipeline->start(settings); });
    const auto state = [&] {
        std::lock_guard lock(endMutex);
        return std::to_string(pictures) + " pictures, told " + std::to_string(told) + " times, " +
               (ended.empty() ? std::string("not ended") : ended);
    };
    EXPECT_TRUE(waitUntil([&] { return pictures > 2; }, 20000)) << state();
    EXPECT_EQ(told, 1);
    thread.post([pipeline] { pipeline->teardown(); });
    thread.drain();
}

INSTANTIATE_TEST_SUITE_P(Profiles, StreamArrival, ::testing::Values("sd-h264", "elementary"));

TEST(PrivateLibraries, AreFoundBesideTheProgramAndSayWhyWhenNot) {
    QString error;
    EXPECT_NE(PrivateLibrary::resolve("halcyon-recorder", "halcyon_create_recorder", &error), nullptr)
        << error.toStdString();
    EXPECT_EQ(PrivateLibrary::resolve("halcyon-recorder", "no_such_entry", &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_EQ(PrivateLibrary::resolve("halcyon-no-such-library", "halcyon_create_recorder", &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
