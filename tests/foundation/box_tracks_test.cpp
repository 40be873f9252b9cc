// The box's track profiles as a player reads them: each track listed in the program table with its
// language and marks. What each track plays is heard and seen through the player's own tests.
#include "settopbox/TrackProfile.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <gst/gst.h>
#include <gst/mpegts/mpegts.h>
#include <gtest/gtest.h>

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
