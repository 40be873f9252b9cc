#include "player/pipeline/PlaybackPipeline.h"

#include "player/PlayerLog.h"
#include "player/StartupTrace.h"
#include "player/engine/AddressInput.h"
#include "player/pipeline/PipelineSupport.h"
#include "player/pipeline/StreamFactsReader.h"
#include "player/pipeline/StreamLatency.h"
#include "player/pipeline/StreamTapping.h"
#include "player/pipeline/StreamTracks.h"
#include "player/ring/EarlyKeyFrame.h"

#include <gst/gst.h>

#include <chrono>

namespace {

// The defaults (2 s of jitter buffer, 700 ms in the demuxer) put the first picture of a channel
// 3 s after the tune. The jitter buffer gets what the stream needs (StreamLatency), and the demuxer
// needs no delay of its own on a stream that already comes paced: the first picture then shows in
// about 0.55 s.
constexpr int kTsDemuxLatencyMs = 0;

// How long a start from inside a kept stream may take to decode up to its first picture.
constexpr GstClockTime kPrerollWait = 3 * GST_SECOND;

std::atomic<int> s_live{0};

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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

PlaybackPipeline::PlaybackPipeline(std::unique_ptr<PlaybackInput> input, PlayerOptions options,
                                   BackgroundQueue *thread, Events events)
    : m_input(std::move(input)), m_options(std::move(options)), m_thread(thread), m_events(std::move(events)),
      m_adopted(bool(m_events.pictureWaiting)), m_pictures([this] { pictureWaiting(); }) {}

PlaybackPipeline::PlaybackPipeline(QByteArray uri, PlayerOptions options, BackgroundQueue &thread,
                                   Events events)
    : PlaybackPipeline(std::make_unique<AddressInput>(std::move(uri), options), options, &thread,
                       std::move(events)) {}

PlaybackPipeline::~PlaybackPipeline() {
    teardown();
}

QByteArray PlaybackPipeline::uriFor(const QString &address) {
    return AddressInput::uriFor(address);
}

void PlaybackPipeline::tapInto(std::shared_ptr<TapLine> line) {
    m_tapping = std::make_unique<StreamTapping>(std::move(line));
}

std::shared_ptr<TapLine> PlaybackPipeline::tapLine() const {
    return m_tapping ? m_tapping->line() : nullptr;
}

int PlaybackPipeline::live() {
    return s_live;
}

void PlaybackPipeline::adopt(Events events) {
    std::lock_guard lock(m_eventsMutex);
    m_events = std::move(events);
    m_adopted = true;
    Held held = std::exchange(m_held, Held());
    if (held.streams && m_events.streamsKnown)
        m_events.streamsKnown((*held.streams)[0], (*held.streams)[1], (*held.streams)[2]);
    if (held.tracks && m_events.tracksFound)
        m_events.tracksFound(*held.tracks);
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

void PlaybackPipeline::start(const PipelineSettings &settings) {
    std::lock_guard lock(m_lifecycle);
    if (m_cancelled)
        return;
    if (!m_settings) {
        m_settings = settings.forStream(m_options);
        setTrackChooser(m_settings->tracks);
    }
    m_started = *m_settings;
    GstElement *playbin = PipelineSupport::makePlaybin(
        m_input->uri().constData(), m_options, m_started, m_pictures,
        G_CALLBACK(&PlaybackPipeline::onSourceSetup), G_CALLBACK(&PlaybackPipeline::onElementSetup), this);
    if (m_subtitlesShown)
        PipelineSupport::setFlags(playbin, m_options, true);
    PlaybackBus::attach(playbin, *this);
    g_signal_connect(playbin, "audio-changed", G_CALLBACK(&PlaybackPipeline::onAudioChanged), this);
    m_pipeline = playbin;
    ++s_live;
    g_object_weak_ref(
        G_OBJECT(playbin), [](gpointer, GObject *) { --s_live; }, nullptr);
    if (!m_input->prepare(playbin)) {
        GError *error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_FAILED, "input not ready");
        finished(
            GstMessagePtr(gst_message_new_error(GST_OBJECT(playbin), error, nullptr), &gst_message_unref));
        g_error_free(error);
        return;
    }
    qCDebug(lcPlayer) << "playing" << m_input->uri();
    StartupTrace::mark("pipeline built");
    if (m_input->prerolls()) {
        // The first picture kept shows at once instead of after the stretch the input skipped.
        gst_element_set_state(playbin, GST_STATE_PAUSED);
        gst_element_get_state(playbin, nullptr, nullptr, kPrerollWait);
        gst_element_set_start_time(playbin, m_input->startTime());
        if (m_input->staysPaused())
            return;
    }
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    StartupTrace::mark("pipeline set playing");
}

void PlaybackPipeline::setPaused(bool paused) {
    std::lock_guard lock(m_lifecycle);
    if (m_pipeline && m_input->prerolls())
        gst_element_set_state(m_pipeline, paused ? GST_STATE_PAUSED : GST_STATE_PLAYING);
}

void PlaybackPipeline::teardown() {
    std::lock_guard lock(m_lifecycle);
    m_cancelled = true;
    if (!m_pipeline)
        return;
    m_input->release();
    // Blocks a few milliseconds, about 100 against a frozen server: never on the window's thread.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    if (m_tapping)
        m_tapping->stop();
    PlaybackBus::detach(m_pipeline);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void PlaybackPipeline::apply(const PipelineSettings &settings) {
    // The chooser first and without waiting for a start under way: the streams may be found any time.
    setTrackChooser(settings.tracks);
    std::lock_guard lock(m_lifecycle);
    const std::optional<PipelineSettings> previous = std::exchange(m_settings, settings.forStream(m_options));
    if (m_pipeline)
        applySettings(*previous);
}

void PlaybackPipeline::applySettings(const PipelineSettings &previous) {
    if (m_settings->level() != previous.level())
        g_object_set(m_pipeline, "volume", m_settings->level(), nullptr);
    m_pictures.apply(*m_settings);
}

void PlaybackPipeline::setSubtitlesShown(bool shown) {
    std::lock_guard lock(m_lifecycle);
    if (m_subtitlesShown == shown)
        return;
    m_subtitlesShown = shown;
    if (m_pipeline)
        PipelineSupport::setFlags(m_pipeline, m_options, shown);
}

void PlaybackPipeline::selectTracks(const QString &soundId, const QString &subtitlesId) {
    std::lock_guard lock(m_lifecycle);
    m_soundId = soundId;
    m_subtitlesId = subtitlesId;
    if (m_pipeline)
        applySelection();
}

void PlaybackPipeline::setTrackChooser(TrackChooser chooser) {
    std::lock_guard lock(m_tracksMutex);
    m_chooser = std::move(chooser);
}

// playbin holds every stream back until it knows them all, then tells: the track chosen now is the
// first one heard.
void PlaybackPipeline::onAudioChanged(GstElement *playbin, PlaybackPipeline *self) {
    QList<StreamTrack> tracks;
    TrackChooser chooser;
    {
        std::lock_guard lock(self->m_tracksMutex);
        if (!self->m_chooser || !self->m_listed)
            return;
        tracks = *self->m_listed;
        TrackMarks::apply(self->m_marks, &tracks);
        chooser = self->m_chooser;
    }
    const QString soundId = chooser(tracks).first;
    const int sound = PipelineSupport::playbinTrack(playbin, StreamTrack::Kind::Sound, soundId);
    gint playing = -1;
    g_object_get(playbin, "current-audio", &playing, nullptr);
    if (sound >= 0 && sound != playing) {
        qCDebug(lcPlayer).noquote() << "sound track" << soundId << "chosen before it plays: playbin's"
                                    << sound;
        g_object_set(playbin, "current-audio", sound, nullptr);
    }
}

void PlaybackPipeline::applySelection() {
    if (m_soundId) {
        const int sound = PipelineSupport::playbinTrack(m_pipeline, StreamTrack::Kind::Sound, *m_soundId);
        gint playing = -1;
        g_object_get(m_pipeline, "current-audio", &playing, nullptr);
        qCDebug(lcPlayer).noquote() << "sound track" << *m_soundId << "is playbin's" << sound << "of the"
                                    << playing << "playing";
        // The switch is the input selector's: every sound track is decoded already, so the new one
        // sounds at once and the picture never waits.
        if (sound >= 0 && sound != playing)
            g_object_set(m_pipeline, "current-audio", sound, nullptr);
    }
    const int subtitles =
        m_subtitlesId.isEmpty()
            ? -1
            : PipelineSupport::playbinTrack(m_pipeline, StreamTrack::Kind::Subtitles, m_subtitlesId);
    if (subtitles >= 0)
        g_object_set(m_pipeline, "current-text", subtitles, nullptr);
    const bool shown = subtitles >= 0;
    if (shown != m_subtitlesShown) {
        m_subtitlesShown = shown;
        PipelineSupport::setFlags(m_pipeline, m_options, shown);
    }
}

void PlaybackPipeline::onPipelineThread(const char *what, std::function<void(GstElement *)> task) {
    BackgroundQueue *thread = m_thread;
    if (!thread) {
        qCDebug(lcPlayer) << what << ": left to the input, which fixes the timing";
        return;
    }
    qCDebug(lcPlayer) << what;
    std::weak_ptr<PlaybackPipeline> weak = weak_from_this();
    thread->post([weak, task = std::move(task)] {
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
    onPipelineThread("recalculating the latency",
                     [](GstElement *pipeline) { gst_bin_recalculate_latency(GST_BIN(pipeline)); });
}

void PlaybackPipeline::reselectClock() {
    onPipelineThread("choosing another clock", [](GstElement *pipeline) {
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    });
}

void PlaybackPipeline::streamsListed(const QList<StreamTrack> &tracks) {
    std::lock_guard lock(m_tracksMutex);
    m_listed = tracks;
}

void PlaybackPipeline::tracksMarked(const TrackMarks::ByPid &marks) {
    std::lock_guard lock(m_tracksMutex);
    m_marks = marks;
}

// The pipeline comes with the message: m_pipeline is the lifecycle's, and this runs on a streaming
// thread while a teardown may be clearing it.
void PlaybackPipeline::streamsSettled(GstElement *pipeline) {
    gint pictures = 0, sounds = 0;
    g_object_get(pipeline, "n-video", &pictures, "n-audio", &sounds, nullptr);
    qCDebug(lcPlayer) << "streams:" << pictures << "video," << sounds << "audio";
    QList<StreamTrack> tracks;
    {
        std::lock_guard lock(m_tracksMutex);
        tracks = m_listed.value_or(StreamTracks::fromPlaybin(pipeline));
        TrackMarks::apply(m_marks, &tracks);
    }
    qCDebug(lcPlayer).noquote() << "tracks:" << StreamTracks::describe(tracks);
    if (sounds > 1 && lcPlayer().isDebugEnabled()) {
        gint playing = -1;
        g_object_get(pipeline, "current-audio", &playing, nullptr);
        GstTagList *tags = nullptr;
        g_signal_emit_by_name(pipeline, "get-audio-tags", playing, &tags);
        const QString language = StreamTracks::languageOf(tags);
        if (tags)
            gst_tag_list_unref(tags);
        qCDebug(lcPlayer).noquote() << "sound: track" << playing + 1 << "of" << sounds << "in"
                                    << (language.isEmpty() ? QStringLiteral("?") : language);
    }
    std::lock_guard lock(m_eventsMutex);
    if (!m_adopted) {
        m_held.streams = {pictures, sounds, m_decoderMissing};
        m_held.tracks = tracks;
        return;
    }
    if (m_events.streamsKnown)
        m_events.streamsKnown(pictures, sounds, m_decoderMissing);
    if (m_events.tracksFound)
        m_events.tracksFound(tracks);
}

void PlaybackPipeline::onSourceSetup(GstElement *, GstElement *source, PlaybackPipeline *self) {
    self->m_input->setUpSource(source, self->m_pictures, self->m_started);
}

void PlaybackPipeline::onElementSetup(GstElement *, GstElement *element, PlaybackPipeline *self) {
    GstElementFactory *factory = gst_element_get_factory(element);
    if (!factory)
        return;
    const QByteArray name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
    if (StartupTrace::enabled())
        traceFirstBuffers(element, name);
    self->m_input->elementAdded(element, name);
    if (self->m_tapping)
        self->m_tapping->elementMade(element, name);
    if (name == "tsdemux" || name.endsWith("parse"))
        self->countBytes(element, name == "tsdemux");
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
    if (self->m_options.video && self->m_input->showsFirstKeyFrameEarly() &&
        (name == "h264parse" || name == "h265parse" || name == "mpegvideoparse"))
        EarlyKeyFrame::watch(element, self->m_pictures, self->m_started.pictureBound);
    if (name == "rtpjitterbuffer")
        StreamLatency::startEarly(element);
    else if (name == "tsdemux")
        g_object_set(element, "latency", gint(kTsDemuxLatencyMs), nullptr);
    else if (name == "dvbsuboverlay")
        PipelineSupport::widenSubtitleRegionsFor(element);
    else if (name.startsWith("avdec_") && PipelineSupport::hasProperty(element, "output-corrupt"))
        // Joining mid-GOP or after a lost packet, broken pictures would show as grey until the next
        // key frame: the last good one stays instead.
        g_object_set(element, "output-corrupt", FALSE, nullptr);
}

void PlaybackPipeline::countBytes(GstElement *element, bool transport) {
    GstPad *input = gst_element_get_static_pad(element, "sink");
    if (!input)
        return;
    struct Counter {
        PlaybackPipeline *pipeline;
        bool transport;
    };
    gst_pad_add_probe(
        input, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            const auto *counter = static_cast<Counter *>(data);
            counter->pipeline->counted(qsizetype(gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info))),
                                       counter->transport);
            return GST_PAD_PROBE_OK;
        },
        new Counter{this, transport}, [](gpointer data) { delete static_cast<Counter *>(data); });
    gst_object_unref(input);
}

void PlaybackPipeline::counted(qsizetype bytes, bool transport) {
    const qint64 now = steadyMs();
    std::lock_guard lock(m_rateMutex);
    if (transport) {
        m_transportSeen = true;
        m_transportRate.add(now, bytes);
    } else {
        m_elementaryRate.add(now, bytes);
    }
}

StreamFacts PlaybackPipeline::facts() {
    StreamFacts facts;
    GstElement *pipeline = nullptr;
    {
        std::unique_lock lock(m_lifecycle, std::try_to_lock);
        if (!lock.owns_lock() || !m_pipeline)
            return facts;
        pipeline = GST_ELEMENT(gst_object_ref(m_pipeline));
    }
    StreamFactsReader::readDecoders(pipeline, facts);
    facts.lostPackets = StreamFactsReader::lostPackets(pipeline);
    gst_object_unref(pipeline);
    std::lock_guard lock(m_rateMutex);
    // Behind a demultiplexer the parsers see the same bytes again: the transport stream's count.
    facts.bitsPerSecond = (m_transportSeen ? m_transportRate : m_elementaryRate).bitsPerSecond(steadyMs());
    return facts;
}
