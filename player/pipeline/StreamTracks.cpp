#include "player/pipeline/StreamTracks.h"

#include <QStringList>
#include <gst/gst.h>
#include <gst/tag/tag.h>

namespace {

QString stringTag(const GstTagList *tags, const char *tag) {
    gchar *value = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, tag, &value))
        return {};
    const QString text = QString::fromUtf8(value);
    g_free(value);
    return text;
}

StreamTrack trackOf(StreamTrack::Kind kind, const GstTagList *tags, const QString &id) {
    const char *formatTag = kind == StreamTrack::Kind::Sound ? GST_TAG_AUDIO_CODEC : GST_TAG_SUBTITLE_CODEC;
    return {kind, StreamTracks::languageOf(tags), stringTag(tags, formatTag), id};
}

void addFromPlaybin(QList<StreamTrack> *tracks, GstElement *playbin, StreamTrack::Kind kind) {
    const bool sound = kind == StreamTrack::Kind::Sound;
    gint count = 0;
    g_object_get(playbin, sound ? "n-audio" : "n-text", &count, nullptr);
    for (int i = 0; i < count; ++i) {
        GstTagList *tags = nullptr;
        g_signal_emit_by_name(playbin, sound ? "get-audio-tags" : "get-text-tags", i, &tags);
        tracks->append(trackOf(kind, tags, QString::number(i)));
        if (tags)
            gst_tag_list_unref(tags);
    }
}

} // namespace

namespace StreamTracks {

QList<StreamTrack> fromCollection(GstStreamCollection *collection) {
    QList<StreamTrack> tracks;
    for (guint i = 0; i < gst_stream_collection_get_size(collection); ++i) {
        GstStream *stream = gst_stream_collection_get_stream(collection, i);
        const GstStreamType type = gst_stream_get_stream_type(stream);
        if (!(type & (GST_STREAM_TYPE_AUDIO | GST_STREAM_TYPE_TEXT)))
            continue;
        GstTagList *tags = gst_stream_get_tags(stream);
        const StreamTrack::Kind kind = type & GST_STREAM_TYPE_AUDIO ? StreamTrack::Kind::Sound
                                                                    : StreamTrack::Kind::Subtitles;
        tracks.append(trackOf(kind, tags, QString::fromUtf8(gst_stream_get_stream_id(stream))));
        if (tags)
            gst_tag_list_unref(tags);
    }
    return tracks;
}

QList<StreamTrack> fromPlaybin(GstElement *playbin) {
    QList<StreamTrack> tracks;
    addFromPlaybin(&tracks, playbin, StreamTrack::Kind::Sound);
    addFromPlaybin(&tracks, playbin, StreamTrack::Kind::Subtitles);
    return tracks;
}

QString languageOf(const GstTagList *tags) {
    const QString code = stringTag(tags, GST_TAG_LANGUAGE_CODE);
    if (code.isEmpty())
        return code;
    // Streams name languages in ISO 639-2, either form ("fre", "fra"): one name for each.
    const gchar *shortCode = gst_tag_get_language_code_iso_639_1(code.toUtf8().constData());
    return shortCode ? QString::fromUtf8(shortCode) : code;
}

QString describe(const QList<StreamTrack> &tracks) {
    QStringList parts;
    for (const StreamTrack &track : tracks) {
        QString part = track.kind == StreamTrack::Kind::Sound ? QStringLiteral("sound") : QStringLiteral("subtitles");
        part += ' ' + (track.language.isEmpty() ? QStringLiteral("?") : track.language);
        if (!track.format.isEmpty())
            part += QStringLiteral(" (%1)").arg(track.format);
        if (track.audioDescription)
            part += QStringLiteral(" [audio description]");
        if (track.hardOfHearing)
            part += QStringLiteral(" [hard of hearing]");
        parts << part;
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

} // namespace StreamTracks
