#include "player/pipeline/TrackMarks.h"

#include <gst/gst.h>
// The section parser has been stable for years; GStreamer still calls its API unstable.
#define GST_USE_UNSTABLE_API
#include <gst/mpegts/mpegts.h>

namespace {

// ISO 639 language descriptor: one audio type per language it lists.
bool describesPicture(const GstMpegtsDescriptor *descriptor) {
    const guint count = gst_mpegts_descriptor_parse_iso_639_language_nb(descriptor);
    for (guint i = 0; i < count; ++i) {
        gchar *language = nullptr;
        GstMpegtsIso639AudioType type = GST_MPEGTS_AUDIO_TYPE_UNDEFINED;
        if (!gst_mpegts_descriptor_parse_iso_639_language_idx(descriptor, i, &language, &type))
            continue;
        g_free(language);
        if (type == GST_MPEGTS_AUDIO_TYPE_VISUAL_IMPAIRED_COMMENTARY)
            return true;
    }
    return false;
}

// DVB supplementary audio descriptor: editorial classification 1 is audio description.
bool supplementaryDescribesPicture(const GstMpegtsDescriptor *descriptor) {
    if (descriptor->tag_extension != GST_MTS_DESC_EXT_DVB_SUPPLEMENTARY_AUDIO || descriptor->length < 2)
        return false;
    return ((descriptor->data[3] >> 2) & 0x1f) == 0x01;
}

// DVB subtitling descriptor: types 0x20 to 0x25 are for the hard of hearing.
bool forHardOfHearing(const GstMpegtsDescriptor *descriptor) {
    const guint count = gst_mpegts_descriptor_parse_dvb_subtitling_nb(descriptor);
    for (guint i = 0; i < count; ++i) {
        gchar *language = nullptr;
        guint8 type = 0;
        if (!gst_mpegts_descriptor_parse_dvb_subtitling_idx(descriptor, i, &language, &type, nullptr,
                                                            nullptr))
            continue;
        g_free(language);
        if (type >= 0x20 && type <= 0x25)
            return true;
    }
    return false;
}

TrackMarks::Marks marksOf(const GstMpegtsPMTStream *stream) {
    TrackMarks::Marks marks;
    for (guint i = 0; stream->descriptors && i < stream->descriptors->len; ++i) {
        const auto *descriptor =
            static_cast<const GstMpegtsDescriptor *>(g_ptr_array_index(stream->descriptors, i));
        switch (descriptor->tag) {
        case GST_MTS_DESC_ISO_639_LANGUAGE:
            marks.audioDescription |= describesPicture(descriptor);
            break;
        case GST_MTS_DESC_DVB_EXTENSION:
            marks.audioDescription |= supplementaryDescribesPicture(descriptor);
            break;
        case GST_MTS_DESC_DVB_SUBTITLING:
            marks.hardOfHearing |= forHardOfHearing(descriptor);
            break;
        default:
            break;
        }
    }
    return marks;
}

} // namespace

namespace TrackMarks {

std::optional<ByPid> fromMessage(GstMessage *message) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT)
        return std::nullopt;
    static const bool initialised = (gst_mpegts_initialize(), true);
    Q_UNUSED(initialised);
    GstMpegtsSection *section = gst_message_parse_mpegts_section(message);
    if (!section)
        return std::nullopt;
    std::optional<ByPid> found;
    if (GST_MPEGTS_SECTION_TYPE(section) == GST_MPEGTS_SECTION_PMT) {
        if (const GstMpegtsPMT *table = gst_mpegts_section_get_pmt(section)) {
            found.emplace();
            for (guint i = 0; i < table->streams->len; ++i) {
                const auto *stream =
                    static_cast<const GstMpegtsPMTStream *>(g_ptr_array_index(table->streams, i));
                found->insert(stream->pid, marksOf(stream));
            }
        }
    }
    gst_mpegts_section_unref(section);
    return found;
}

void apply(const ByPid &marks, QList<StreamTrack> *tracks) {
    for (StreamTrack &track : *tracks) {
        // tsdemux names each stream "<its input's id>/<packet id in 8 hexadecimal digits>".
        bool ok = false;
        const int pid = track.id.section(u'/', -1).toInt(&ok, 16);
        if (!ok || !marks.contains(pid))
            continue;
        track.audioDescription = track.kind == StreamTrack::Kind::Sound && marks[pid].audioDescription;
        track.hardOfHearing = track.kind == StreamTrack::Kind::Subtitles && marks[pid].hardOfHearing;
    }
}

} // namespace TrackMarks
