#include "QtPrinting.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/engine/GstPlayerEngine.h"
#include "player/pipeline/PlaybackPipeline.h"
#include "player/pipeline/StreamTracks.h"

#include <gst/gst.h>
#include <gst/tag/tag.h>
#include <gtest/gtest.h>

// The sound and subtitle tracks a stream carries, and subtitles drawn onto the picture.
namespace {

GstStream *streamOf(GstStreamType type, const char *id, const char *language, const char *formatTag,
                    const char *format) {
    GstStream *stream = gst_stream_new(id, nullptr, type, GST_STREAM_FLAG_NONE);
    GstTagList *tags = gst_tag_list_new_empty();
    if (language)
        gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_LANGUAGE_CODE, language, nullptr);
    gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, formatTag, format, nullptr);
    gst_stream_set_tags(stream, tags);
    gst_tag_list_unref(tags);
    return stream;
}

TEST(StreamTracks, ListsSoundAndSubtitlesInTheDemultiplexersOrderWithTwoLetterLanguages) {
    gst_init(nullptr, nullptr);
    GstStreamCollection *collection = gst_stream_collection_new("programme");
    gst_stream_collection_add_stream(
        collection, streamOf(GST_STREAM_TYPE_VIDEO, "v", nullptr, GST_TAG_VIDEO_CODEC, "H.264"));
    gst_stream_collection_add_stream(
        collection, streamOf(GST_STREAM_TYPE_AUDIO, "a1", "fre", GST_TAG_AUDIO_CODEC, "MPEG-1 Audio"));
    gst_stream_collection_add_stream(
        collection, streamOf(GST_STREAM_TYPE_AUDIO, "a2", "en", GST_TAG_AUDIO_CODEC, "AC-3"));
    gst_stream_collection_add_stream(
        collection, streamOf(GST_STREAM_TYPE_AUDIO, "a3", nullptr, GST_TAG_AUDIO_CODEC, "AAC"));
    gst_stream_collection_add_stream(
        collection, streamOf(GST_STREAM_TYPE_TEXT, "s", "fra", GST_TAG_SUBTITLE_CODEC, "DVB subtitles"));
    const QList<StreamTrack> tracks = StreamTracks::fromCollection(collection);
    gst_object_unref(collection);

    using Kind = StreamTrack::Kind;
    const QList<StreamTrack> expected = {{Kind::Sound, "fr", "MPEG-1 Audio", "a1"},
                                         {Kind::Sound, "en", "AC-3", "a2"},
                                         {Kind::Sound, "", "AAC", "a3"},
                                         {Kind::Subtitles, "fr", "DVB subtitles", "s"}};
    EXPECT_EQ(tracks, expected);
    EXPECT_EQ(StreamTracks::describe(tracks),
              "sound fr (MPEG-1 Audio), sound en (AC-3), sound ? (AAC), subtitles fr (DVB subtitles)");
}

class TwoLanguages : public ::testing::Test {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.channels = QList<int>() << 201;
        options.profile = QStringLiteral("two-audio");
        ASSERT_TRUE(box.start(options)) << box.error();
    }
    SetTopBox box;
};

TEST_F(TwoLanguages, TheEngineListsBothSoundTracksAndTheSubtitles) {
    GstPlayerEngine engine;
    QList<StreamTrack> found;
    QObject::connect(&engine, &PlayerEngine::streamsFound,
                     [&](const QList<StreamTrack> &tracks) { found = tracks; });
    engine.play({QString::fromLatin1(box.address(201)), {}});
    ASSERT_TRUE(waitUntil([&] { return !found.isEmpty(); }, 20000));
    QStringList seen;
    for (const StreamTrack &track : found)
        seen << QStringLiteral("%1 %2").arg(track.kind == StreamTrack::Kind::Sound ? "sound" : "subtitles",
                                            track.language);
    EXPECT_EQ(seen, QStringList({"sound fr", "sound en", "subtitles fr"}));
    engine.stop();
    engine.waitForPipelines();
}

// Pixels unlike the picture's own colour where subtitles are drawn: the bottom of the picture, in
// its middle (the box's clock is at the left).
int subtitlePixels(const QImage &picture) {
    const QRect band(picture.width() / 4, picture.height() * 8 / 10, picture.width() / 2,
                     picture.height() * 2 / 10);
    const QColor plain = picture.pixelColor(picture.width() / 2, picture.height() * 7 / 10);
    int count = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x) {
            const QColor seen = picture.pixelColor(x, y);
            count += std::abs(seen.red() - plain.red()) + std::abs(seen.green() - plain.green()) +
                         std::abs(seen.blue() - plain.blue()) >
                     60;
        }
    return count;
}

// The most subtitle pixels any picture of a few seconds showed, subtitles drawn or not.
int mostSubtitlePixels(const QByteArray &address, bool subtitlesShown) {
    std::atomic<int> most{0};
    std::atomic<int> pictures{0};
    std::atomic<PlaybackPipeline *> playing{nullptr};
    PlaybackPipeline::Events events;
    events.pictureWaiting = [&] {
        const PictureSink::Picture picture = playing.load()->takePicture();
        if (picture.image.isNull())
            return;
        most = std::max(most.load(), subtitlePixels(picture.image));
        ++pictures;
    };
    events.finished = [](const GstMessagePtr &) {};
    BackgroundQueue thread;
    auto pipeline = std::make_shared<PlaybackPipeline>(address, PlayerOptions(), thread, events);
    playing = pipeline.get();
    pipeline->setSubtitlesShown(subtitlesShown);
    PipelineSettings settings;
    settings.volume = 0;
    settings.pictureBound = QSize(360, 288);
    thread.post([pipeline, settings] { pipeline->start(settings); });
    // The box sends a subtitle page each second.
    waitUntil([&] { return pictures > 100 || (subtitlesShown && most > 25); }, 20000);
    thread.post([pipeline] { pipeline->teardown(); });
    thread.drain();
    return most;
}

TEST_F(TwoLanguages, SubtitlesAskedForAreDrawnOntoThePicture) {
    gst_init(nullptr, nullptr);
    const int drawn = mostSubtitlePixels(box.address(201), true);
    const int plain = mostSubtitlePixels(box.address(201), false);
    EXPECT_GT(drawn, 25);
    EXPECT_LT(plain, 5);
}

} // namespace
