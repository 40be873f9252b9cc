#include "player/playback/GstPlayerEngine.h"

#include "player/EOleException.h"

#include <QFileInfo>
#include <QUrl>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <netdb.h>

namespace {

// The defaults (2 s of jitter buffer, 700 ms in the demuxer) put the first picture of a channel
// 3 s after the tune. A home network's jitter fits easily in 100 ms, and the demuxer needs no delay
// of its own on a stream that already comes paced: the first picture then shows in about 0.55 s.
constexpr int kRtspLatencyMs = 100;
constexpr int kTsDemuxLatencyMs = 0;

const char *const kRequiredElements[] = {"playbin",      "appsink", "videoconvert", "rtspsrc",
                                         "rtpmp2tdepay", "tsdemux", "h264parse",    "avdec_h264"};

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *kSinkCaps = "video/x-raw,format=BGRx"; // QImage::Format_RGB32 in memory
#else
constexpr const char *kSinkCaps = "video/x-raw,format=xRGB";
#endif

QByteArray uriFor(const QString &address) {
    const QUrl url(address);
    // One-letter schemes are drive letters: a path, not an address.
    if (url.scheme().size() > 1)
        return address.toUtf8();
    return QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath()).toEncoded();
}

QString hostOf(const QString &address) {
    return QUrl(address).host();
}

QString authorityOf(const QString &address) {
    const QUrl url(address);
    return url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

bool hostResolves(const QByteArray &host) {
    addrinfo *found = nullptr;
    const bool ok = getaddrinfo(host.constData(), nullptr, nullptr, &found) == 0;
    if (found)
        freeaddrinfo(found);
    return ok;
}

void ensureGStreamer() {
    GError *error = nullptr;
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, &error)) {
        const QString reason = error ? QString::fromUtf8(error->message) : QString();
        g_clear_error(&error);
        throw EOleException(EOleException::kClassNotRegistered,
                            QStringLiteral("GStreamer ne démarre pas : %1").arg(reason),
                            QStringLiteral("TVLCPlugin"));
    }
    for (const char *name : kRequiredElements) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory)
            throw EOleException(
                EOleException::kClassNotRegistered,
                QStringLiteral("Classe non enregistrée : élément GStreamer « %1 » introuvable")
                    .arg(QString::fromLatin1(name)),
                QStringLiteral("TVLCPlugin"));
        gst_object_unref(factory);
    }
}

// The newest picture of a pipeline, waiting for the owning thread. Frames that arrive while one
// waits replace it, so a busy window never builds up a backlog.
struct FrameMailbox {
    std::mutex mutex;
    QImage frame;
    qreal pixelAspectRatio = 1.0;
    bool delivering = false;
};

} // namespace

namespace {
std::atomic<int> s_livePipelines{0};
} // namespace

int GstPlayerEngine::livePipelines() {
    return s_livePipelines;
}

namespace {

void preloadPlugins() {
    for (const char *name : {"rtpmp2tdepay", "tsdemux", "h264parse", "avdec_h264", "mpegaudioparse",
                             "avdec_mp2float", "videoconvert", "videoscale", "audioconvert", "audioresample",
                             "autoaudiosink", "rtpjitterbuffer", "multiqueue", "typefind"}) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory)
            continue;
        if (GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)))
            gst_object_unref(loaded);
        gst_object_unref(factory);
    }
}

} // namespace

struct GstPlayerEngine::Message {
    std::shared_ptr<GstMessage> message;
};

struct GstPlayerEngine::Session {
    GstPlayerEngine *engine;
    quint64 generation;
    QByteArray uri;
    PlayerOptions options;
    double volume;
    std::atomic<bool> cancelled{false};
    GstElement *pipeline = nullptr;
    std::shared_ptr<FrameMailbox> mailbox = std::make_shared<FrameMailbox>();
};

// Everything that runs on GStreamer's threads or the pipeline thread.
struct GstPlayerEngine::Bridge {
    static void start(Session *session) {
        if (session->cancelled)
            return;
        GstElement *playbin = gst_element_factory_make("playbin", nullptr);
        GstElement *sink = gst_element_factory_make("appsink", nullptr);
        GstCaps *caps = gst_caps_from_string(kSinkCaps);
        g_object_set(sink, "caps", caps, "max-buffers", 1u, "drop", TRUE, "sync", TRUE, "enable-last-sample",
                     FALSE, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &Bridge::onNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, session, nullptr);

        const PlayerOptions &options = session->options;
        QByteArray flags = "soft-volume";
        if (options.video)
            flags += "+video";
        if (options.audio)
            flags += "+audio";
        g_object_set(playbin, "uri", session->uri.constData(), "video-sink", sink, "volume", session->volume,
                     nullptr);
        gst_util_set_object_arg(G_OBJECT(playbin), "flags", flags.constData());
        g_signal_connect(playbin, "source-setup", G_CALLBACK(&Bridge::onSourceSetup), session);
        g_signal_connect(playbin, "element-setup", G_CALLBACK(&Bridge::onElementSetup), session);
        GstBus *bus = gst_element_get_bus(playbin);
        gst_bus_set_sync_handler(bus, &Bridge::onBusMessage, session, nullptr);
        gst_object_unref(bus);

        session->pipeline = playbin;
        ++s_livePipelines;
        g_object_weak_ref(
            G_OBJECT(playbin), [](gpointer, GObject *) { --s_livePipelines; }, nullptr);
        gst_element_set_state(playbin, GST_STATE_PLAYING);
    }

    static void teardown(Session *session) {
        if (session->pipeline) {
            // Blocks a few milliseconds, about 100 against a frozen server: never on the window's thread.
            gst_element_set_state(session->pipeline, GST_STATE_NULL);
            GstBus *bus = gst_element_get_bus(session->pipeline);
            gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
            gst_object_unref(bus);
            gst_object_unref(session->pipeline);
        }
        delete session;
    }

    static void setVolume(Session *session, double volume) {
        if (session->pipeline)
            g_object_set(session->pipeline, "volume", volume, nullptr);
    }

    static void onSourceSetup(GstElement *, GstElement *source, gpointer data) {
        const PlayerOptions &options = static_cast<Session *>(data)->options;
        if (!g_object_class_find_property(G_OBJECT_GET_CLASS(source), "latency"))
            return;
        g_object_set(source, "latency", guint(options.networkCachingMs.value_or(kRtspLatencyMs)), nullptr);
        if (options.rtspTcp && g_object_class_find_property(G_OBJECT_GET_CLASS(source), "protocols"))
            gst_util_set_object_arg(G_OBJECT(source), "protocols", "tcp");
    }

    static void onElementSetup(GstElement *, GstElement *element, gpointer) {
        GstElementFactory *factory = gst_element_get_factory(element);
        if (!factory)
            return;
        const QByteArray name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
        if (name == "tsdemux")
            g_object_set(element, "latency", gint(kTsDemuxLatencyMs), nullptr);
        else if (name == "avdec_h264")
            // Joining mid-GOP, broken pictures would show as grey until the next key frame.
            g_object_set(element, "output-corrupt", FALSE, nullptr);
    }

    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer data) {
        auto *session = static_cast<Session *>(data);
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        GstVideoInfo info;
        GstVideoFrame frame;
        QImage image;
        qreal pixelAspectRatio = 1.0;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
            gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
            image = QImage(info.width, info.height, QImage::Format_RGB32);
            const auto *source = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
            const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
            for (int y = 0; y < info.height; ++y)
                memcpy(image.scanLine(y), source + qsizetype(y) * stride, size_t(info.width) * 4);
            gst_video_frame_unmap(&frame);
            if (info.par_n > 0 && info.par_d > 0)
                pixelAspectRatio = qreal(info.par_n) / info.par_d;
        }
        gst_sample_unref(sample);
        if (image.isNull())
            return GST_FLOW_OK;

        FrameMailbox &box = *session->mailbox;
        std::lock_guard lock(box.mutex);
        box.frame = std::move(image);
        box.pixelAspectRatio = pixelAspectRatio;
        if (!box.delivering) {
            box.delivering = true;
            GstPlayerEngine *engine = session->engine;
            const quint64 generation = session->generation;
            QMetaObject::invokeMethod(
                engine, [engine, generation] { engine->takeFrame(generation); }, Qt::QueuedConnection);
        }
        return GST_FLOW_OK;
    }

    // Only errors and the end matter to the window. Warnings are not failures: with no sound
    // device the audio sink warns and falls back to a silent one while the picture plays on.
    static GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data) {
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS) {
            auto *session = static_cast<Session *>(data);
            GstPlayerEngine *engine = session->engine;
            const quint64 generation = session->generation;
            // Unreffed however the call ends, delivered or dropped with the engine.
            Message forwarded{std::shared_ptr<GstMessage>(gst_message_ref(message), &gst_message_unref)};
            QMetaObject::invokeMethod(
                engine, [engine, generation, forwarded] { engine->handleMessage(generation, forwarded); },
                Qt::QueuedConnection);
        }
        // A dropped message is the handler's to free; each one holds its element, so a message
        // left alive keeps the whole pipeline from ever being freed.
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
};

GstPlayerEngine::GstPlayerEngine(QObject *parent) : PlayerEngine(parent) {
    ensureGStreamer();
    // Loading the plugins a box's stream needs costs some 80 ms the first time. Done on the
    // otherwise idle lookup thread, it overlaps the first tune's RTSP handshake instead of
    // delaying the first picture.
    m_resolver.post(&preloadPlugins);
}

GstPlayerEngine::~GstPlayerEngine() {
    stop();
    m_pipelines.drain();
    m_resolver.drain();
}

void GstPlayerEngine::play(const PlayTarget &target) {
    stop();
    auto *session =
        new Session{this, ++m_generation, uriFor(target.address), target.options, m_volume / 100.0};
    m_current = session;
    m_currentAddress = target.address;
    m_framesSeen = false;
    m_failureReported = false;
    m_pipelines.post([session] { Bridge::start(session); });
}

void GstPlayerEngine::stop() {
    if (!m_current)
        return;
    // Anything the old pipeline still has in flight now carries a stale number and is dropped.
    ++m_generation;
    Session *session = m_current;
    m_current = nullptr;
    session->cancelled = true;
    m_pipelines.post([session] { Bridge::teardown(session); });
}

void GstPlayerEngine::setVolume(int volume) {
    m_volume = volume;
    if (Session *session = m_current) {
        const double level = volume / 100.0;
        m_pipelines.post([session, level] { Bridge::setVolume(session, level); });
    }
}

void GstPlayerEngine::waitForPipelines() {
    m_pipelines.drain();
}

void GstPlayerEngine::takeFrame(quint64 generation) {
    if (!m_current || generation != m_generation)
        return;
    FrameMailbox &box = *m_current->mailbox;
    QImage frame;
    qreal pixelAspectRatio;
    {
        std::lock_guard lock(box.mutex);
        frame = std::move(box.frame);
        pixelAspectRatio = box.pixelAspectRatio;
        box.delivering = false;
    }
    if (frame.isNull())
        return;
    m_framesSeen = true;
    emit frameReady(frame, pixelAspectRatio);
}

void GstPlayerEngine::handleMessage(quint64 generation, const Message &message) {
    if (generation != m_generation || m_failureReported)
        return;
    switch (GST_MESSAGE_TYPE(message.message.get())) {
    case GST_MESSAGE_ERROR:
        onError(message);
        break;
    case GST_MESSAGE_EOS:
        onEndOfStream();
        break;
    default:
        break;
    }
}

void GstPlayerEngine::onError(const Message &message) {
    GError *error = nullptr;
    gst_message_parse_error(message.message.get(), &error, nullptr);
    const GQuark domain = error->domain;
    const int code = error->code;
    g_clear_error(&error);

    if (m_framesSeen)
        report(PlayerFailure::StreamInterrupted, QString());
    else if (domain == GST_RESOURCE_ERROR && code == GST_RESOURCE_ERROR_NOT_FOUND)
        report(PlayerFailure::ChannelNotFound, QString());
    else if (domain == GST_RESOURCE_ERROR)
        reportConnectionFailure();
    else if ((domain == GST_CORE_ERROR && code == GST_CORE_ERROR_MISSING_PLUGIN) ||
             (domain == GST_STREAM_ERROR && code == GST_STREAM_ERROR_CODEC_NOT_FOUND))
        report(PlayerFailure::Unplayable, QStringLiteral("format non pris en charge"));
    else
        report(PlayerFailure::Unplayable, QStringLiteral("flux illisible"));
}

void GstPlayerEngine::onEndOfStream() {
    emit endOfStream();
}

void GstPlayerEngine::reportConnectionFailure() {
    // GStreamer says the same for a box that is down and for a name that does not resolve.
    m_failureReported = true;
    const QString host = hostOf(m_currentAddress);
    const QString authority = authorityOf(m_currentAddress);
    const quint64 generation = m_generation;
    m_resolver.post([this, generation, host, authority] {
        const bool known = host.isEmpty() || hostResolves(host.toUtf8());
        QMetaObject::invokeMethod(
            this,
            [this, generation, known, host, authority] {
                if (generation != m_generation)
                    return;
                if (known)
                    emit failed(PlayerFailure::BoxUnreachable, authority);
                else
                    emit failed(PlayerFailure::HostUnknown, host);
            },
            Qt::QueuedConnection);
    });
}

void GstPlayerEngine::report(PlayerFailure failure, const QString &detail) {
    m_failureReported = true;
    emit failed(failure, detail);
}
