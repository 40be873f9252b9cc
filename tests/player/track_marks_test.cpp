#include "QtPrinting.h"

#include "player/pipeline/TrackMarks.h"

#define GST_USE_UNSTABLE_API
#include <gst/gst.h>
#include <gst/mpegts/mpegts.h>
#include <gtest/gtest.h>

// The marks a programme table gives its tracks: audio description, subtitles for the hard of hearing.
namespace {

GstMpegtsPMTStream *streamOf(guint8 type, guint16 pid,
                             std::initializer_list<GstMpegtsDescriptor *> descriptors) {
    GstMpegtsPMTStream *stream = gst_mpegts_pmt_stream_new();
    stream->stream_type = type;
    stream->pid = pid;
    for (GstMpegtsDescriptor *descriptor : descriptors)
        g_ptr_array_add(stream->descriptors, descriptor);
    return stream;
}

// ISO 639 language descriptor: the code and its audio type.
GstMpegtsDescriptor *language(const char *code, guint8 audioType) {
    const guint8 data[4] = {guint8(code[0]), guint8(code[1]), guint8(code[2]), audioType};
    return gst_mpegts_descriptor_from_custom(GST_MTS_DESC_ISO_639_LANGUAGE, data, sizeof data);
}

GstMessage *tableMessage() {
    GstMpegtsPMT *table = gst_mpegts_pmt_new();
    table->pcr_pid = 0x41;
    table->program_number = 1;
    g_ptr_array_add(table->streams, streamOf(0x1b, 0x41, {}));
    g_ptr_array_add(table->streams, streamOf(0x03, 0x42, {language("fre", 0)}));
    g_ptr_array_add(table->streams, streamOf(0x03, 0x43, {language("fre", 3)}));
    // Supplementary audio descriptor: mix type 1, editorial classification 1 (audio description).
    const guint8 supplementary[2] = {GST_MTS_DESC_EXT_DVB_SUPPLEMENTARY_AUDIO, 0x80 | (0x01 << 2) | 0x01};
    g_ptr_array_add(table->streams,
                    streamOf(0x03, 0x44,
                             {gst_mpegts_descriptor_from_custom(GST_MTS_DESC_DVB_EXTENSION, supplementary,
                                                                sizeof supplementary)}));
    g_ptr_array_add(table->streams,
                    streamOf(0x06, 0x45, {gst_mpegts_descriptor_from_dvb_subtitling("fre", 0x20, 1, 1)}));
    g_ptr_array_add(table->streams,
                    streamOf(0x06, 0x46, {gst_mpegts_descriptor_from_dvb_subtitling("eng", 0x10, 2, 2)}));
    GstMpegtsSection *section = gst_mpegts_section_from_pmt(table, 0x1000);
    // Parsed back from its bytes, as the demultiplexer's would be.
    gsize size = 0;
    const guint8 *bytes = gst_mpegts_section_packetize(section, &size);
    GstMpegtsSection *read =
        gst_mpegts_section_new(0x1000, static_cast<guint8 *>(g_memdup2(bytes, size)), size);
    gst_mpegts_section_unref(section);
    GstMessage *message = gst_message_new_mpegts_section(nullptr, read);
    gst_mpegts_section_unref(read);
    return message;
}

TEST(TrackMarks, AProgrammeTableMarksAudioDescriptionAndHardOfHearingByPacketId) {
    gst_init(nullptr, nullptr);
    gst_mpegts_initialize();
    GstMessage *message = tableMessage();
    const std::optional<TrackMarks::ByPid> marks = TrackMarks::fromMessage(message);
    gst_message_unref(message);
    ASSERT_TRUE(marks);

    using Kind = StreamTrack::Kind;
    QList<StreamTrack> tracks = {
        {Kind::Sound, "fr", {}, "box/00000042"},     {Kind::Sound, "fr", {}, "box/00000043"},
        {Kind::Sound, "fr", {}, "box/00000044"},     {Kind::Subtitles, "fr", {}, "box/00000045"},
        {Kind::Subtitles, "en", {}, "box/00000046"}, {Kind::Sound, "de", {}, "1"}};
    TrackMarks::apply(*marks, &tracks);
    QList<bool> described, hardOfHearing;
    for (const StreamTrack &track : tracks) {
        described << track.audioDescription;
        hardOfHearing << track.hardOfHearing;
    }
    EXPECT_EQ(described, QList<bool>({false, true, true, false, false, false}));
    EXPECT_EQ(hardOfHearing, QList<bool>({false, false, false, true, false, false}));

    GstMessage *other = gst_message_new_element(nullptr, gst_structure_new_empty("not-a-table"));
    EXPECT_FALSE(TrackMarks::fromMessage(other));
    gst_message_unref(other);
}

} // namespace
