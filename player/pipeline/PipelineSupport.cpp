#include "player/pipeline/PipelineSupport.h"

#include "player/pipeline/SoundOutput.h"
#include "player/pipeline/SubtitleRegions.h"

#include <QByteArray>

namespace PipelineSupport {

GstElement *makePlaybin(const char *uri, const PlayerOptions &options, const PipelineSettings &settings,
                        PictureSink &pictures, GCallback onSourceSetup, GCallback onElementSetup,
                        gpointer owner) {
    GstElement *playbin = gst_element_factory_make("playbin", nullptr);
    g_object_set(playbin, "uri", uri, "volume", settings.level(), nullptr);
    if (options.video)
        g_object_set(playbin, "video-sink", pictures.createBin(settings), nullptr);
    if (options.audio)
        g_object_set(playbin, "audio-sink", SoundOutput::makeSink(), nullptr);
    setFlags(playbin, options, false);
    g_signal_connect(playbin, "source-setup", onSourceSetup, owner);
    g_signal_connect(playbin, "element-setup", onElementSetup, owner);
    return playbin;
}

void setFlags(GstElement *playbin, const PlayerOptions &options, bool subtitles) {
    // Only the first sound track: playbin's own choice of audio is the stream's first, the default
    // language. Pictures go unconverted to our own sink, which scales; with subtitles, playbin
    // converts them for its overlay, which draws the subtitles before our sink, so they reach the
    // painted picture at its size.
    QByteArray flags = "soft-volume";
    if (options.video)
        flags += subtitles ? "+video+text" : "+video+native-video";
    if (options.audio)
        flags += "+audio";
    gst_util_set_object_arg(G_OBJECT(playbin), "flags", flags.constData());
}

int playbinTrack(GstElement *playbin, StreamTrack::Kind kind, const QString &id) {
    const bool sound = kind == StreamTrack::Kind::Sound;
    gint count = 0;
    g_object_get(playbin, sound ? "n-audio" : "n-text", &count, nullptr);
    const QByteArray wanted = id.toUtf8();
    for (int i = 0; i < count; ++i) {
        GstPad *pad = nullptr;
        g_signal_emit_by_name(playbin, sound ? "get-audio-pad" : "get-text-pad", i, &pad);
        if (!pad)
            continue;
        // Before its first data the selector's pad has no stream id yet; the pad feeding it has.
        gchar *streamId = gst_pad_get_stream_id(pad);
        if (!streamId) {
            if (GstPad *feeding = gst_pad_get_peer(pad)) {
                streamId = gst_pad_get_stream_id(feeding);
                gst_object_unref(feeding);
            }
        }
        const bool found = streamId && wanted == streamId;
        g_free(streamId);
        gst_object_unref(pad);
        if (found)
            return i;
    }
    bool isNumber = false;
    const int number = id.toInt(&isNumber);
    return isNumber && number >= 0 && number < count ? number : -1;
}

bool hasProperty(GstElement *element, const char *name) {
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

void widenSubtitleRegionsFor(GstElement *overlay) {
    GstPad *pages = gst_element_get_static_pad(overlay, "text_sink");
    if (!pages)
        return;
    gst_pad_add_probe(
        pages, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer) {
            GstBuffer *page = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            GST_PAD_PROBE_INFO_DATA(info) = page;
            GstMapInfo map;
            if (gst_buffer_map(page, &map, GST_MAP_READWRITE)) {
                SubtitleRegions::widen(map.data, map.size);
                gst_buffer_unmap(page, &map);
            }
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(pages);
}

void setBusSyncHandler(GstElement *pipeline, GstBusSyncHandler handler, gpointer data) {
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, handler, data, nullptr);
    gst_object_unref(bus);
}

void stopAndRelease(GstElement *&pipeline) {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    setBusSyncHandler(pipeline, nullptr, nullptr);
    gst_object_unref(pipeline);
    pipeline = nullptr;
}

} // namespace PipelineSupport
