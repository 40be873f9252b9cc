// The box's track profiles as a player meets them: each track listed in the program table with its
// language and marks, each sound track's own tone, subtitles drawn over the picture that come and go.
#include "settopbox/TrackProfile.h"
#include "support/ChildProcess.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QFile>
#include <QTemporaryDir>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/mpegts/mpegts.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

using namespace halcyon::settopbox;

constexpr int kChannel = 201;

class BoxTracks : public ::testing::Test {
protected:
    void startWith(const char *profile) {
        gst_init(nullptr, nullptr);
        SetTopBox::Options options;
        options.channels = {kChannel};
        options.profile = QString::fromLatin1(profile);
        ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    }
    SetTopBox box;
};

// The power of one frequency in 16-bit samples (Goertzel).
double powerAt(const QByteArray &pcm, int hz, int rate) {
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    const double coefficient = 2 * std::cos(2 * M_PI * hz / rate);
    double previous = 0, before = 0;
    for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
        const double next = samples[i] + coefficient * previous - before;
        before = previous;
        previous = next;
    }
    return previous * previous + before * before - coefficient * previous * before;
}

TEST_F(BoxTracks, EachSoundTrackPlaysItsOwnTone) {
    startWith(kAudioTracksProfile);
    const std::vector<BoxTrack> tracks = boxTracks(kAudioTracksProfile);
    QTemporaryDir dir;
    QStringList args{"ffmpeg",          "-nostdin", "-v", "error",
                     "-rtsp_transport", "tcp",      "-i", QString::fromLatin1(box.address(kChannel))};
    for (size_t i = 0; i < tracks.size(); ++i)
        args << "-map" << QStringLiteral("0:i:%1").arg(kFirstTrackPid + int(i)) << "-t"
             << "1"
             << "-ac"
             << "1"
             << "-ar"
             << "8000"
             << "-f"
             << "s16le"
             << "-y" << dir.filePath(QString::number(i));
    bool ok = false;
    childprocess::runToEnd(args, 60000, &ok);
    for (size_t i = 0; i < tracks.size(); ++i) {
        QFile file(dir.filePath(QString::number(i)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "track " << i;
        const QByteArray pcm = file.readAll();
        ASSERT_GT(pcm.size(), 8000);
        std::map<double, int> loudest;
        for (const BoxTrack &tone : tracks)
            loudest[powerAt(pcm, tone.toneHz, 8000)] = tone.toneHz;
        EXPECT_EQ(loudest.rbegin()->second, tracks[i].toneHz) << "track " << i;
    }
}

// Pixels of either subtitle colour in the lower part of a picture, where the lines are drawn.
int subtitlePixels(GstSample *sample) {
    GstVideoInfo info;
    GstMapInfo map;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return 0;
    int count = 0;
    for (int y = info.height * 3 / 4; y < info.height; ++y) {
        const guint8 *row = map.data + y * GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        for (int x = 0; x < info.width; ++x) {
            const int r = row[4 * x], g = row[4 * x + 1], b = row[4 * x + 2];
            if (g > 200 && ((r > 200 && b < 100) || (r < 100 && b > 200)))
                ++count;
        }
    }
    gst_buffer_unmap(buffer, &map);
    return count;
}

// What a GStreamer player shows: the subtitles drawn over the picture for a while, then gone.
TEST_F(BoxTracks, SubtitlesShowOverThePictureAndGoAgain) {
    startWith(kSubtitlesProfile);
    GstElement *player = gst_element_factory_make("playbin", nullptr);
    GstElement *pictures = gst_element_factory_make("appsink", nullptr);
    GstCaps *rgb = gst_caps_from_string("video/x-raw,format=RGBx");
    g_object_set(pictures, "caps", rgb, "max-buffers", 2, "drop", TRUE, nullptr);
    gst_caps_unref(rgb);
    g_object_set(player, "uri", box.address(kChannel).constData(), "video-sink", pictures, "audio-sink",
                 gst_element_factory_make("fakesink", nullptr), nullptr);
    gst_element_set_state(player, GST_STATE_PLAYING);
    bool shown = false, gone = false;
    waitUntil(
        [&] {
            GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(pictures), 50 * GST_MSECOND);
            if (!sample)
                return false;
            const bool drawn = subtitlePixels(sample) > 200;
            gst_sample_unref(sample);
            gone = gone || (shown && !drawn);
            shown = shown || drawn;
            return gone;
        },
        60000);
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(gone);
}

struct TableEntry {
    int streamType = 0;
    QString language;
    int audioType = -1;
    int subtitlingType = -1;
};

// The program table as tsdemux posts it on the bus, read with libgstmpegts: entries by PID.
std::map<int, TableEntry> programTable(const GstMpegtsPMT *pmt) {
    std::map<int, TableEntry> entries;
    for (guint i = 0; i < pmt->streams->len; ++i) {
        const auto *stream = static_cast<const GstMpegtsPMTStream *>(g_ptr_array_index(pmt->streams, i));
        TableEntry &entry = entries[stream->pid];
        entry.streamType = stream->stream_type;
        gchar *language = nullptr;
        if (const GstMpegtsDescriptor *d =
                gst_mpegts_find_descriptor(stream->descriptors, GST_MTS_DESC_ISO_639_LANGUAGE)) {
            GstMpegtsIso639AudioType type = GST_MPEGTS_AUDIO_TYPE_UNDEFINED;
            if (gst_mpegts_descriptor_parse_iso_639_language_idx(d, 0, &language, &type))
                entry.audioType = type;
        } else if (const GstMpegtsDescriptor *d =
                       gst_mpegts_find_descriptor(stream->descriptors, GST_MTS_DESC_DVB_SUBTITLING)) {
            guint8 type = 0;
            guint16 composition = 0, ancillary = 0;
            if (gst_mpegts_descriptor_parse_dvb_subtitling_idx(d, 0, &language, &type, &composition,
                                                               &ancillary))
                entry.subtitlingType = type;
        }
        entry.language = QString::fromLatin1(language);
        g_free(language);
    }
    return entries;
}

// The multiplexer writes the bibliographic code of French.
QString tableCode(const BoxTrack &track) {
    if (track.tableLanguage)
        return QString::fromLatin1(track.tableLanguage);
    return QString::fromLatin1(track.language) == "fra" ? QStringLiteral("fre")
                                                        : QString::fromLatin1(track.language);
}

class EveryTrackProfile : public BoxTracks, public ::testing::WithParamInterface<const char *> {};

// As a player reads them: the sections tsdemux posts on the bus, parsed with libgstmpegts.
TEST_P(EveryTrackProfile, ListsItsTracksWithTheirLanguagesAndMarks) {
    startWith(GetParam());
    gst_mpegts_initialize();
    const std::string launch = "rtspsrc protocols=tcp location=" + box.address(kChannel).toStdString() +
                               " ! rtpmp2tdepay ! tsdemux ! fakesink";
    GstElement *pipeline = gst_parse_launch(launch.c_str(), nullptr);
    ASSERT_TRUE(pipeline);
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    std::map<int, TableEntry> table;
    waitUntil(
        [&] {
            GstMessage *message = gst_bus_timed_pop_filtered(bus, 50 * GST_MSECOND, GST_MESSAGE_ELEMENT);
            if (!message)
                return false;
            if (GstMpegtsSection *section = gst_message_parse_mpegts_section(message)) {
                if (GST_MPEGTS_SECTION_TYPE(section) == GST_MPEGTS_SECTION_PMT)
                    table = programTable(gst_mpegts_section_get_pmt(section));
                gst_mpegts_section_unref(section);
            }
            gst_message_unref(message);
            return !table.empty();
        },
        30000);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    const std::vector<BoxTrack> tracks = boxTracks(GetParam());
    ASSERT_EQ(table.size(), tracks.size() + 1) << "the picture and each track";
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TableEntry &entry = table[kFirstTrackPid + int(i)];
        const bool sound = tracks[i].kind == TrackKind::Sound;
        EXPECT_EQ(entry.streamType, sound ? 0x03 : 0x06) << "track " << i;
        EXPECT_EQ(entry.language, tableCode(tracks[i])) << "track " << i;
        if (sound)
            EXPECT_EQ(entry.audioType, tracks[i].audioDescription ? 3 : 0) << "track " << i;
        else
            EXPECT_EQ(entry.subtitlingType, tracks[i].hardOfHearing ? 0x20 : 0x10) << "track " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, EveryTrackProfile,
                         ::testing::Values(kAudioTracksProfile, kSubtitlesProfile, kTracksProfile,
                                           kTracksQadProfile));

} // namespace
