#include "player/pipeline/PlaybackBus.h"

#include "player/PlayerLog.h"
#include "player/engine/PipelineError.h"
#include "player/engine/ServerBye.h"
#include "player/pipeline/StreamTracks.h"

#include <gst/gst.h>
#include <gst/pbutils/missing-plugins.h>

namespace {

QString sourceName(GstMessage *message) {
    return GST_MESSAGE_SRC(message) ? QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message)))
                                    : QStringLiteral("?");
}

GstMessagePtr keep(GstMessage *message) {
    return GstMessagePtr(gst_message_ref(message), &gst_message_unref);
}

bool fromPipeline(GstMessage *message) {
    return GST_MESSAGE_SRC(message) && !GST_OBJECT_PARENT(GST_MESSAGE_SRC(message));
}

} // namespace

void PlaybackBus::attach(GstElement *pipeline, Owner &owner) {
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, reinterpret_cast<GstBusSyncHandler>(&PlaybackBus::onMessage), &owner,
                             nullptr);
    gst_object_unref(bus);
}

void PlaybackBus::detach(GstElement *pipeline) {
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
}

int PlaybackBus::onMessage(GstBus *, GstMessage *message, void *data) {
    Owner &owner = *static_cast<Owner *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        onError(message, owner);
        break;
    case GST_MESSAGE_WARNING:
        onWarning(message);
        break;
    case GST_MESSAGE_EOS:
        onEndOfStream(message, owner);
        break;
    case GST_MESSAGE_LATENCY:
        onLatency(message, owner);
        break;
    case GST_MESSAGE_CLOCK_LOST:
        onClockLost(owner);
        break;
    case GST_MESSAGE_BUFFERING:
        onBuffering(message);
        break;
    case GST_MESSAGE_STATE_CHANGED:
        onStateChanged(message);
        break;
    case GST_MESSAGE_STREAM_COLLECTION:
        onStreamCollection(message, owner);
        break;
    case GST_MESSAGE_ASYNC_DONE:
        onAsyncDone(message, owner);
        break;
    case GST_MESSAGE_ELEMENT:
        onElement(message, owner);
        break;
    default:
        break;
    }
    // A dropped message is the handler's to free; each one holds its element, so a message left
    // alive keeps the whole pipeline from ever being freed.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void PlaybackBus::onError(GstMessage *message, Owner &owner) {
    const PipelineError::Told told = PipelineError::told(message);
    qCDebug(lcPlayer).noquote() << "error from" << sourceName(message) << ":" << told.message << "|"
                                << told.debug << "-> the stream ends";
    owner.finished(keep(message));
}

// Warnings are not failures: with no sound device the audio sink warns and falls back to a silent
// one while the picture plays on.
void PlaybackBus::onWarning(GstMessage *message) {
    const PipelineError::Told told = PipelineError::told(message);
    qCDebug(lcPlayer).noquote() << "warning from" << sourceName(message) << ":" << told.message << "|"
                                << told.debug << "-> playing on";
}

void PlaybackBus::onEndOfStream(GstMessage *message, Owner &owner) {
    qCDebug(lcPlayer) << "end of stream -> the stream ends";
    owner.finished(keep(message));
}

void PlaybackBus::onLatency(GstMessage *message, Owner &owner) {
    qCDebug(lcPlayer) << "latency changed in" << sourceName(message) << "-> the total follows";
    owner.recalculateLatency();
}

void PlaybackBus::onClockLost(Owner &owner) {
    qCDebug(lcPlayer) << "clock lost -> choosing another";
    owner.reselectClock();
}

void PlaybackBus::onStreamCollection(GstMessage *message, Owner &owner) {
    GstStreamCollection *collection = nullptr;
    gst_message_parse_stream_collection(message, &collection);
    if (!collection)
        return;
    const QList<StreamTrack> tracks = StreamTracks::fromCollection(collection);
    gst_object_unref(collection);
    qCDebug(lcPlayer).noquote() << "streams listed by" << sourceName(message) << ":"
                                << StreamTracks::describe(tracks) << "-> kept as the tracks";
    owner.streamsListed(tracks);
}

// A live stream is not paused to fill up: its jitter buffer already holds what smooths the network,
// and pausing a live source only loses what it sends meanwhile.
void PlaybackBus::onBuffering(GstMessage *message) {
    gint percent = 0;
    gst_message_parse_buffering(message, &percent);
    qCDebug(lcPlayer) << "buffering" << percent << "% in" << sourceName(message) << "-> playing on";
}

void PlaybackBus::onStateChanged(GstMessage *message) {
    if (!fromPipeline(message) || !lcPlayer().isDebugEnabled())
        return;
    GstState from, to;
    gst_message_parse_state_changed(message, &from, &to, nullptr);
    qCDebug(lcPlayer) << "pipeline" << gst_element_state_get_name(from) << "->"
                      << gst_element_state_get_name(to);
}

void PlaybackBus::onAsyncDone(GstMessage *message, Owner &owner) {
    if (!fromPipeline(message))
        return;
    qCDebug(lcPlayer) << "streams settled -> counting them";
    owner.streamsSettled(GST_ELEMENT(GST_MESSAGE_SRC(message)));
}

void PlaybackBus::onElement(GstMessage *message, Owner &owner) {
    if (const std::optional<guint> ssrc = ServerBye::ssrcOf(message)) {
        // Only a BYE naming the session's SSRC becomes an end of stream; any other leaves it silent.
        qCDebug(lcPlayer) << "RTCP BYE naming SSRC" << *ssrc << "from" << sourceName(message)
                          << "-> the server ended the session";
        owner.finished(keep(message));
        return;
    }
    if (const std::optional<TrackMarks::ByPid> marks = TrackMarks::fromMessage(message)) {
        qCDebug(lcPlayer) << "programme table from" << sourceName(message) << "-> its tracks' marks kept";
        owner.tracksMarked(*marks);
        return;
    }
    if (!gst_is_missing_plugin_message(message)) {
        const GstStructure *structure = gst_message_get_structure(message);
        qCDebug(lcPlayer) << "element message" << (structure ? gst_structure_get_name(structure) : "?")
                          << "from" << sourceName(message) << "-> ignored";
        return;
    }
    gchar *description = gst_missing_plugin_message_get_description(message);
    qCDebug(lcPlayer).noquote() << "no decoder for" << (description ? description : "?")
                                << "-> no picture may be a picture lost";
    g_free(description);
    owner.decoderMissing();
}
