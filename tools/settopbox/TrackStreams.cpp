#include "settopbox/TrackStreams.h"

#include "settopbox/ProgramTableMarks.h"

namespace halcyon::settopbox {

namespace {

struct SubtitleLine {
    GstElement *overlay;
    std::string words;
    long long count = -1;
};

long long secondOf(const GstBuffer *buffer) {
    return GST_BUFFER_PTS_IS_VALID(buffer) ? (long long)(GST_BUFFER_PTS(buffer) / GST_SECOND) : 0;
}

GstPadProbeReturn onSubtitlePicture(GstPad *, GstPadProbeInfo *info, gpointer data) {
    auto *line = static_cast<SubtitleLine *>(data);
    const long long second = secondOf(GST_PAD_PROBE_INFO_BUFFER(info));
    const long long count = subtitleCountAt(second);
    if (subtitleShownAt(second) && count != line->count) {
        line->count = count;
        g_object_set(line->overlay, "text", (line->words + " " + std::to_string(count)).c_str(), nullptr);
    }
    return GST_PAD_PROBE_OK;
}

// Between showings the encoder gets a gap instead of a picture: a gap after a page is what makes it
// send the page's end, and a picture with nothing drawn on it is one it cannot encode.
GstPadProbeReturn onSubtitlePage(GstPad *pad, GstPadProbeInfo *info, gpointer) {
    const GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (subtitleShownAt(secondOf(buffer)))
        return GST_PAD_PROBE_OK;
    gst_pad_send_event(pad, gst_event_new_gap(GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer)));
    return GST_PAD_PROBE_DROP;
}

bool bufferHoldsProgramTable(GstBuffer *buffer) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return false;
    const bool holds = holdsProgramTable(map.data, map.size);
    gst_buffer_unmap(buffer, &map);
    return holds;
}

void mark(GstBuffer *writable, const std::vector<TrackMark> &marks) {
    GstMapInfo map;
    if (gst_buffer_map(writable, &map, GST_MAP_WRITE)) {
        markProgramTables(map.data, map.size, marks);
        gst_buffer_unmap(writable, &map);
    }
}

// The multiplexer sends its packets in lists.
GstPadProbeReturn onMuxed(GstPad *, GstPadProbeInfo *info, gpointer data) {
    const auto &marks = *static_cast<const std::vector<TrackMark> *>(data);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (bufferHoldsProgramTable(buffer)) {
            buffer = gst_buffer_make_writable(buffer);
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            mark(buffer, marks);
        }
        return GST_PAD_PROBE_OK;
    }
    GstBufferList *list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
    bool holds = false;
    for (guint i = 0; i < gst_buffer_list_length(list) && !holds; ++i)
        holds = bufferHoldsProgramTable(gst_buffer_list_get(list, i));
    if (!holds)
        return GST_PAD_PROBE_OK;
    list = gst_buffer_list_make_writable(list);
    GST_PAD_PROBE_INFO_DATA(info) = list;
    for (guint i = 0; i < gst_buffer_list_length(list); ++i) {
        if (bufferHoldsProgramTable(gst_buffer_list_get(list, i)))
            mark(gst_buffer_list_get_writable(list, i), marks);
    }
    return GST_PAD_PROBE_OK;
}

void probe(GstElement *pipeline, const std::string &element, const char *pad, GstPadProbeType type,
           GstPadProbeCallback callback, gpointer data, GDestroyNotify destroy) {
    GstElement *found = gst_bin_get_by_name(GST_BIN(pipeline), element.c_str());
    if (!found) {
        if (destroy)
            destroy(data);
        return;
    }
    GstPad *target = gst_element_get_static_pad(found, pad);
    gst_pad_add_probe(target, type, callback, data, destroy);
    gst_object_unref(target);
    gst_object_unref(found);
}

} // namespace

std::string subtitleTextName(int pid) {
    return "subtitletext" + std::to_string(pid);
}

std::string subtitleEncoderName(int pid) {
    return "subtitles" + std::to_string(pid);
}

void runTracks(GstElement *pipeline, const std::vector<BoxTrack> &tracks) {
    int pid = kFirstTrackPid;
    for (const BoxTrack &track : tracks) {
        if (track.kind == TrackKind::Subtitles) {
            GstElement *overlay = gst_bin_get_by_name(GST_BIN(pipeline), subtitleTextName(pid).c_str());
            if (overlay) {
                // The pipeline keeps the overlay alive as long as the probe can run.
                auto *line = new SubtitleLine{overlay, track.text};
                probe(pipeline, subtitleTextName(pid), "video_sink", GST_PAD_PROBE_TYPE_BUFFER,
                      &onSubtitlePicture, line,
                      [](gpointer data) { delete static_cast<SubtitleLine *>(data); });
                gst_object_unref(overlay);
            }
            probe(pipeline, subtitleEncoderName(pid), "sink", GST_PAD_PROBE_TYPE_BUFFER, &onSubtitlePage,
                  nullptr, nullptr);
        }
        ++pid;
    }
    probe(pipeline, "out0", "sink",
          GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST), &onMuxed,
          new std::vector<TrackMark>(trackMarks(tracks)),
          [](gpointer data) { delete static_cast<std::vector<TrackMark> *>(data); });
}

} // namespace halcyon::settopbox
