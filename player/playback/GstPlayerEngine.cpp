#include "player/playback/GstPlayerEngine.h"

#include "player/PlayerLog.h"
#include "player/StartupTrace.h"
#include "player/playback/EarlyTune.h"
#include "player/playback/GstPlugins.h"
#include "player/playback/PlaybackPipeline.h"
#include "player/playback/SoundOutput.h"

#include <QUrl>
#include <gst/gst.h>

#include <netdb.h>

namespace {

// How often tunes look for the sound output again; the start-up preload looks once first.
constexpr qint64 kSoundProbeIntervalMs = 30000;

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

} // namespace

int GstPlayerEngine::livePipelines() {
    return PlaybackPipeline::live();
}

GstPlayerEngine::GstPlayerEngine(QObject *parent) : PlayerEngine(parent) {
    GstPlugins::ensureAvailable();
    // Loading the plugins a box's stream needs costs some 80 ms the first time. Done on the
    // otherwise idle lookup thread, it overlaps the first tune's RTSP handshake instead of
    // delaying the first picture.
    if (!EarlyTune::isUnderWay())
        m_resolver.post(&GstPlugins::preload);
}

GstPlayerEngine::~GstPlayerEngine() {
    stop();
    m_pipelines.drain();
    m_resolver.drain();
}

void GstPlayerEngine::later(quint64 generation, std::function<void()> what) {
    // Dropped by Qt when the engine has gone meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, generation, what = std::move(what)] {
            if (generation == m_generation)
                what();
        },
        Qt::QueuedConnection);
}

void GstPlayerEngine::play(const PlayTarget &target) {
    stop();
    const quint64 generation = ++m_generation;
    PlaybackPipeline::Events events;
    events.pictureWaiting = [this, generation] {
        later(generation, [this, generation] { takePicture(generation); });
    };
    events.finished = [this, generation](const GstMessagePtr &message) {
        later(generation, [this, generation, message] { onFinished(generation, message); });
    };
    events.streamsKnown = [this, generation](int pictures, int sounds, bool undecodable) {
        later(generation,
              [this, pictures, sounds, undecodable] { onStreamsKnown(pictures, sounds, undecodable); });
    };
    std::shared_ptr<PlaybackPipeline> pipeline = EarlyTune::take(target, events, m_pipelines);
    StartupTrace::mark(pipeline ? "control took the early tune" : "control tunes");
    const bool begun = pipeline != nullptr;
    if (!begun)
        pipeline = std::make_shared<PlaybackPipeline>(PlaybackPipeline::uriFor(target.address),
                                                      target.options, m_pipelines, std::move(events));
    m_current = pipeline;
    m_currentAddress = target.address;
    m_wantsPictures = target.options.video;
    m_framesSeen = false;
    m_failureReported = false;
    const double volume = m_volume / 100.0;
    const QSize bound = m_pictureSize;
    if (!begun) {
        m_pipelines.post([pipeline, volume, bound] { pipeline->start(volume, bound); });
        // A sound server started or stopped since is taken into account from a later tune on; not
        // at every step of a held key, where the probe would compete with the tunes for the device.
        if (!m_soundProbed.isValid() || m_soundProbed.elapsed() > kSoundProbeIntervalMs) {
            m_soundProbed.start();
            m_resolver.post(&SoundOutput::probe);
        }
        return;
    }
    // Begun with the control's starting settings: the ones of now replace them.
    m_pipelines.post([pipeline, volume, bound] {
        pipeline->setVolume(volume);
        if (bound.isValid())
            pipeline->setPictureBound(bound);
    });
}

void GstPlayerEngine::stop() {
    if (!m_current)
        return;
    // Anything the old pipeline still has in flight now carries a stale number and is dropped.
    ++m_generation;
    std::shared_ptr<PlaybackPipeline> pipeline = std::move(m_current);
    pipeline->cancel();
    m_pipelines.post([pipeline] { pipeline->teardown(); });
}

void GstPlayerEngine::setVolume(int volume) {
    m_volume = volume;
    if (std::shared_ptr<PlaybackPipeline> pipeline = m_current) {
        const double level = volume / 100.0;
        m_pipelines.post([pipeline, level] { pipeline->setVolume(level); });
    }
}

void GstPlayerEngine::setPictureSize(QSize size) {
    if (size == m_pictureSize)
        return;
    m_pictureSize = size;
    if (std::shared_ptr<PlaybackPipeline> pipeline = m_current)
        m_pipelines.post([pipeline, size] { pipeline->setPictureBound(size); });
}

void GstPlayerEngine::lendBox(std::function<void()> lent) {
    stop();
    m_pipelines.post([this, lent = std::move(lent)] { QMetaObject::invokeMethod(this, lent, Qt::QueuedConnection); });
}

void GstPlayerEngine::waitForPipelines() {
    m_pipelines.drain();
}

void GstPlayerEngine::takePicture(quint64) {
    if (!m_current)
        return;
    PictureSink::Picture picture = m_current->takePicture();
    if (picture.image.isNull())
        return;
    m_framesSeen = true;
    StartupTrace::mark("picture taken by the control");
    emit frameReady(picture.image, picture.pixelAspectRatio);
}

void GstPlayerEngine::onStreamsKnown(int pictures, int sounds, bool undecodable) {
    if (m_failureReported || m_framesSeen || sounds == 0)
        return;
    if (!m_wantsPictures)
        emit soundOnly();
    else if (pictures == 0 && undecodable)
        // A picture this player cannot decode is not a radio channel.
        report(PlayerFailure::Unplayable, QStringLiteral("format non pris en charge"));
    else if (pictures == 0)
        emit soundOnly();
}

void GstPlayerEngine::onFinished(quint64, const GstMessagePtr &message) {
    if (m_failureReported)
        return;
    if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR)
        onError(message.get());
    else
        emit endOfStream();
}

void GstPlayerEngine::onError(GstMessage *message) {
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
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

void GstPlayerEngine::reportConnectionFailure() {
    // GStreamer says the same for a box that is down and for a name that does not resolve.
    m_failureReported = true;
    const QString host = QUrl(m_currentAddress).host();
    const QString authority = authorityOf(m_currentAddress);
    const quint64 generation = m_generation;
    m_resolver.post([this, generation, host, authority] {
        const bool known = host.isEmpty() || hostResolves(host.toUtf8());
        later(generation, [this, known, host, authority] {
            if (known)
                emit failed(PlayerFailure::BoxUnreachable, authority);
            else
                emit failed(PlayerFailure::HostUnknown, host);
        });
    });
}

void GstPlayerEngine::report(PlayerFailure failure, const QString &detail) {
    m_failureReported = true;
    qCInfo(lcPlayer).noquote() << "failed:" << int(failure) << detail << m_currentAddress;
    emit failed(failure, detail);
}
