#include "player/playback/PlaybackPipeline.h"

#include "player/PlayerLog.h"
#include "player/StartupTrace.h"
#include "player/playback/EarlyKeyFrame.h"
#include "player/playback/PipelineSupport.h"
#include "player/playback/RtspControlPath.h"
#include "player/playback/StreamLatency.h"

#include <QFileInfo>
#include <QUrl>
#include <gst/gst.h>
#include <gst/rtsp/gstrtspmessage.h>
#include <gst/tag/tag.h>

namespace {

// The defaults (2 s of jitter buffer, 700 ms in the demuxer) put the first picture of a channel
// 3 s after the tune. The jitter buffer gets what the stream needs (StreamLatency), and the demuxer
// needs no delay of its own on a stream that already comes paced: the first picture then shows in
// about 0.55 s.
constexpr int kTsDemuxLatencyMs = 0;

std::atomic<int> s_live{0};

bool hasProperty(GstElement *element, const char *name) {
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

// Marks the first buffer into the demuxer and into and out of a video decoder.
void traceFirstBuffers(GstElement *element, const QByteArray &name) {
    const auto probe = [](GstElement *on, const char *pad, const char *step) {
        GstPad *found = gst_element_get_static_pad(on, pad);
        if (!found)
            return;
        gst_pad_add_probe(
            found, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad *, GstPadProbeInfo *, gpointer step) {
                StartupTrace::mark(static_cast<const char *>(step));
                return GST_PAD_PROBE_REMOVE;
            },
            const_cast<char *>(step), nullptr);
        gst_object_unref(found);
    };
    if (name == "tsdemux")
        probe(element, "sink", "first stream packet");
    if (name.startsWith("avdec_h264") || name.startsWith("avdec_mpeg2video")) {
        probe(element, "sink", "first compressed picture");
        probe(element, "src", "first decoded picture");
    }
}

} // namespace

PlaybackPipeline::PlaybackPipeline(QByteArray uri, PlayerOptions options, BackgroundQueue &thread,
                                   Events events)
    : m_uri(std::move(uri)), m_options(std::move(options)), m_thread(&thread), m_events(std::move(events)),
      m_adopted(bool(m_events.pictureWaiting)), m_pictures([this] { pictureWaiting(); }) {}

PlaybackPipeline::~PlaybackPipeline() {
    teardown();
}

QByteArray PlaybackPipeline::uriFor(const QString &address) {
    const QUrl url(address);
    // One-letter schemes are drive letters: a path, not an address.
    if (url.scheme().size() > 1)
        return address.toUtf8();
    return QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath()).toEncoded();
}

int PlaybackPipeline::live() {
    return s_live;
}

void PlaybackPipeline::adopt(Events events) {
    std::lock_guard lock(m_eventsMutex);
    m_events = std::move(events);
    m_adopted = true;
    Held held = std::exchange(m_held, Held());
    if (held.streams)
        m_events.streamsKnown((*held.streams)[0], (*held.streams)[1], (*held.streams)[2]);
    if (held.pictureWaiting)
        m_events.pictureWaiting();
    if (held.finished)
        m_events.finished(held.finished);
}

void PlaybackPipeline::pictureWaiting() {
    std::lock_guard lock(m_eventsMutex);
    if (m_adopted)
        m_events.pictureWaiting();
    else
        m_held.pictureWaiting = true;
}

void PlaybackPipeline::start(double volume, QSize pictureBound) {
    std::lock_guard lock(m_lifecycle);
    if (m_cancelled)
        return;
    m_volume = m_volume.value_or(volume);
    m_bound = m_bound.value_or(pictureBound);
    m_startBound = *m_bound;
    GstElement *playbin = PipelineSupport::makePlaybin(m_uri.constData(), m_options, *m_volume, m_pictures,
                                                       *m_bound, G_CALLBACK(&PlaybackPipeline::onSourceSetup),
                                                       G_CALLBACK(&PlaybackPipeline::onElementSetup), this);
    PlaybackBus::attach(playbin, *this);

    m_pipeline = playbin;
    ++s_live;
    g_object_weak_ref(
        G_OBJECT(playbin), [](gpointer, GObject *) { --s_live; }, nullptr);
    qCDebug(lcPlayer) << "playing" << m_uri;
    StartupTrace::mark("pipeline built");
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    StartupTrace::mark("pipeline set playing");
}

void PlaybackPipeline::teardown() {
    std::lock_guard lock(m_lifecycle);
    // A teardown that comes first, from another thread, means no start.
    m_cancelled = true;
    if (!m_pipeline)
        return;
    // Blocks a few milliseconds, about 100 against a frozen server: never on the window's thread.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    PlaybackBus::detach(m_pipeline);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void PlaybackPipeline::setVolume(double volume) {
    std::lock_guard lock(m_lifecycle);
    m_volume = volume;
    if (m_pipeline)
        g_object_set(m_pipeline, "volume", volume, nullptr);
}

void PlaybackPipeline::setPictureBound(QSize bound) {
    std::lock_guard lock(m_lifecycle);
    if (m_bound == bound)
        return;
    m_bound = bound;
    if (m_pipeline)
        m_pictures.setBound(bound);
}

void PlaybackPipeline::onPipelineThread(std::function<void(GstElement *)> task) {
    std::weak_ptr<PlaybackPipeline> weak = weak_from_this();
    m_thread.load()->post([weak, task = std::move(task)] {
        const std::shared_ptr<PlaybackPipeline> self = weak.lock();
        if (!self)
            return;
        std::lock_guard lock(self->m_lifecycle);
        if (!self->m_cancelled && self->m_pipeline)
            task(self->m_pipeline);
    });
}

void PlaybackPipeline::finished(const GstMessagePtr &message) {
    std::lock_guard lock(m_eventsMutex);
    if (m_adopted)
        m_events.finished(message);
    else if (!m_held.finished)
        m_held.finished = message;
}

void PlaybackPipeline::recalculateLatency() {
    onPipelineThread([](GstElement *pipeline) { gst_bin_recalculate_latency(GST_BIN(pipeline)); });
}

void PlaybackPipeline::reselectClock() {
    onPipelineThread([](GstElement *pipeline) {
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    });
}

void PlaybackPipeline::streamsSettled() {
    gint pictures = 0, sounds = 0;
    g_object_get(m_pipeline, "n-video", &pictures, "n-audio", &sounds, nullptr);
    qCDebug(lcPlayer) << "streams:" << pictures << "video," << sounds << "audio";
    if (sounds > 1 && lcPlayer().isDebugEnabled()) {
        gint playing = -1;
        g_object_get(m_pipeline, "current-audio", &playing, nullptr);
        qCDebug(lcPlayer).noquote() << "sound: track" << playing + 1 << "of" << sounds << "in"
                                    << languageOfSound(playing);
    }
    std::lock_guard lock(m_eventsMutex);
    if (m_adopted)
        m_events.streamsKnown(pictures, sounds, m_decoderMissing);
    else
        m_held.streams = {pictures, sounds, m_decoderMissing};
}

QByteArray PlaybackPipeline::languageOfSound(int track) const {
    GstTagList *tags = nullptr;
    g_signal_emit_by_name(m_pipeline, "get-audio-tags", track, &tags);
    gchar *code = nullptr;
    QByteArray language = "?";
    if (tags && gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_CODE, &code)) {
        // Streams name languages in ISO 639-2, either form ("fre", "fra"): one name for each.
        const gchar *shortCode = gst_tag_get_language_code_iso_639_1(code);
        language = shortCode ? shortCode : code;
    }
    g_free(code);
    if (tags)
        gst_tag_list_unref(tags);
    return language;
}

void PlaybackPipeline::onSourceSetup(GstElement *, GstElement *source, PlaybackPipeline *self) {
    if (!hasProperty(source, "latency"))
        return;
    g_object_set(source, "latency",
                 guint(self->m_options.networkCachingMs.value_or(StreamLatency::kTransportStreamMs)),
                 nullptr);
    // Read before the streams are set up, while the latency can still change.
    if (!self->m_options.networkCachingMs && g_signal_lookup("on-sdp", G_OBJECT_TYPE(source)))
        g_signal_connect(source, "on-sdp", G_CALLBACK(&PlaybackPipeline::onDescription), nullptr);
    // Otherwise UDP first, then TCP when the server answers 461 or no packet comes through.
    if (self->m_options.rtspTcp && hasProperty(source, "protocols"))
        gst_util_set_object_arg(G_OBJECT(source), "protocols", "tcp");
    if (g_signal_lookup("before-send", G_OBJECT_TYPE(source)))
        g_signal_connect(source, "before-send", G_CALLBACK(&PlaybackPipeline::onBeforeSend), self);
}

void PlaybackPipeline::onElementSetup(GstElement *, GstElement *element, PlaybackPipeline *self) {
    GstElementFactory *factory = gst_element_get_factory(element);
    if (!factory)
        return;
    const QByteArray name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
    if (StartupTrace::enabled())
        traceFirstBuffers(element, name);
    // The demultiplexer sees a transport stream first, a parser a stream sent without one.
    if (self->m_streamArrived && (name == "tsdemux" || name.endsWith("parse"))) {
        GstPad *input = gst_element_get_static_pad(element, "sink");
        gst_pad_add_probe(
            input, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad *, GstPadProbeInfo *, gpointer data) {
                auto *pipeline = static_cast<PlaybackPipeline *>(data);
                if (!pipeline->m_streamArrivedTold.exchange(true))
                    pipeline->m_streamArrived();
                return GST_PAD_PROBE_REMOVE;
            },
            self, nullptr);
        gst_object_unref(input);
    }
    if (self->m_options.video && (name == "h264parse" || name == "h265parse" || name == "mpegvideoparse"))
        EarlyKeyFrame::watch(element, self->m_pictures, self->m_startBound);
    if (name == "tsdemux")
        g_object_set(element, "latency", gint(kTsDemuxLatencyMs), nullptr);
    else if (name.startsWith("avdec_") && hasProperty(element, "output-corrupt"))
        // Joining mid-GOP or after a lost packet, broken pictures would show as grey until the next
        // key frame: the last good one stays instead.
        g_object_set(element, "output-corrupt", FALSE, nullptr);
}

void PlaybackPipeline::onDescription(GstElement *source, void *sdp, void *) {
    const int latency = StreamLatency::forDescription(static_cast<const GstSDPMessage *>(sdp));
    if (latency != StreamLatency::kTransportStreamMs) {
        qCDebug(lcPlayer) << "plain RTP video: jitter buffer of" << latency << "ms";
        g_object_set(source, "latency", guint(latency), nullptr);
    }
}

int PlaybackPipeline::onBeforeSend(GstElement *, GstRTSPMessage *message, PlaybackPipeline *self) {
    if (message->type != GST_RTSP_MESSAGE_REQUEST || !message->type_data.request.uri)
        return TRUE;
    if (StartupTrace::enabled())
        StartupTrace::mark(QByteArray("rtsp ")
                               .append(gst_rtsp_method_as_text(message->type_data.request.method))
                               .append(" sent")
                               .constData());
    const QByteArray fixed = RtspControlPath::appended(self->m_uri, message->type_data.request.uri);
    if (!fixed.isEmpty()) {
        qCDebug(lcPlayer) << "request for" << message->type_data.request.uri << "sent to" << fixed;
        g_free(message->type_data.request.uri);
        message->type_data.request.uri = g_strdup(fixed.constData());
    }
    return TRUE;
}
