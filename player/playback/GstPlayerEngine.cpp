#include "player/playback/GstPlayerEngine.h"

#include "player/PlayerLog.h"
#include "player/StartupTrace.h"
#include "player/playback/EarlyTune.h"
#include "player/playback/GstPlugins.h"
#include "player/playback/PipelineError.h"
#include "player/playback/PlaybackPipeline.h"
#include "player/playback/SoundOutput.h"

#include <QUrl>
#include <gst/gst.h>

namespace {

QString authorityOf(const QString &address) {
    const QUrl url(address);
    return url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
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
        m_plugins.post(&GstPlugins::preload);
}

// A name look-up under way is not waited for: its answer is dropped.
GstPlayerEngine::~GstPlayerEngine() {
    stop();
    m_pipelines.drain();
    m_plugins.drain();
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
    m_soundRetried = false;
    tune(target);
}

void GstPlayerEngine::tune(const PlayTarget &target) {
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
    events.tracksFound = [this, generation](const QList<StreamTrack> &tracks) {
        later(generation, [this, tracks] { emit streamsFound(tracks); });
    };
    std::shared_ptr<PlaybackPipeline> pipeline = EarlyTune::take(target, events, m_pipelines);
    StartupTrace::mark(pipeline ? "control took the early tune" : "control tunes");
    const bool begun = pipeline != nullptr;
    if (!begun)
        pipeline = std::make_shared<PlaybackPipeline>(PlaybackPipeline::uriFor(target.address),
                                                      target.options, m_pipelines, std::move(events));
    pipeline->setTrackChooser(m_chooser);
    m_current = pipeline;
    m_target = target;
    m_wantsPictures = target.options.video;
    m_framesSeen = false;
    m_failureReported = false;
    const double volume = m_volume / 100.0;
    const QSize bound = m_pictureSize;
    if (!begun) {
        m_pipelines.post([pipeline, volume, bound] { pipeline->start(volume, bound); });
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
    if (std::exchange(m_soundFailed, false))
        m_pipelines.post(&SoundOutput::forget);
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

void GstPlayerEngine::selectTracks(const QString &soundId, const QString &subtitlesId) {
    if (std::shared_ptr<PlaybackPipeline> pipeline = m_current)
        m_pipelines.post([pipeline, soundId, subtitlesId] { pipeline->selectTracks(soundId, subtitlesId); });
}

void GstPlayerEngine::lendBox(const QString &, std::function<void()> lent) {
    stop();
    m_pipelines.post(
        [this, lent = std::move(lent)] { QMetaObject::invokeMethod(this, lent, Qt::QueuedConnection); });
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
    if (SoundOutput::isSoundSink(GST_MESSAGE_SRC(message))) {
        onSoundFailed();
        return;
    }
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const PipelineError::Reading reading = PipelineError::read(error, debug, m_framesSeen);
    g_clear_error(&error);
    g_free(debug);
    if (reading.failure)
        report(*reading.failure, reading.detail);
    else
        reportConnectionFailure();
}

// The device the sink found may be gone (a sound server stopped, a headset pulled): the stream is
// tuned anew once, and the sound output looked for again after this pipeline has let it go.
void GstPlayerEngine::onSoundFailed() {
    m_soundFailed = true;
    if (m_soundRetried) {
        qCInfo(lcPlayer) << "sound output failed again";
        report(PlayerFailure::Unplayable, QStringLiteral("sortie son indisponible"));
        return;
    }
    qCInfo(lcPlayer) << "sound output failed: tuning anew once it is let go";
    m_soundRetried = true;
    tune(PlayTarget(m_target));
}

void GstPlayerEngine::reportConnectionFailure() {
    // GStreamer says the same for a box that is down and for a name that does not resolve.
    m_failureReported = true;
    const QString host = QUrl(m_target.address).host();
    const QString authority = authorityOf(m_target.address);
    const quint64 generation = m_generation;
    const auto answer = [this, generation, host, authority](bool known) {
        if (generation != m_generation)
            return;
        if (known)
            emit failed(PlayerFailure::BoxUnreachable, authority);
        else
            emit failed(PlayerFailure::HostUnknown, host);
    };
    if (host.isEmpty())
        answer(true);
    else
        m_lookups.start(host.toUtf8(), answer);
}

void GstPlayerEngine::report(PlayerFailure failure, const QString &detail) {
    m_failureReported = true;
    qCInfo(lcPlayer).noquote() << "failed:" << int(failure) << detail << m_target.address;
    emit failed(failure, detail);
}
