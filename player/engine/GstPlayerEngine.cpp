#include "player/engine/GstPlayerEngine.h"

#include "player/PlayerLog.h"
#include "player/StartupTrace.h"
#include "player/engine/CallbackGate.h"
#include "player/engine/EarlyTune.h"
#include "player/engine/GstPlugins.h"
#include "player/engine/PipelineError.h"
#include "player/engine/TapLine.h"
#include "player/pipeline/PlaybackPipeline.h"
#include "player/pipeline/SoundOutput.h"

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

GstPlayerEngine::GstPlayerEngine(EarlyTune *early, QObject *parent)
    : PlayerEngine(parent), m_gate(std::make_shared<CallbackGate>(this)), m_early(early) {
    GstPlugins::ensureAvailable();
    // Loading the plugins a box's stream needs costs some 80 ms the first time. Done on the
    // otherwise idle lookup thread, it overlaps the first tune's RTSP handshake instead of
    // delaying the first picture. An early tune loads them itself.
    if (!m_early || !m_early->isUnderWay())
        m_plugins.post(&GstPlugins::preload);
}

GstPlayerEngine::GstPlayerEngine(InputFactory inputs, QObject *parent)
    : PlayerEngine(parent), m_gate(std::make_shared<CallbackGate>(this)), m_inputs(std::move(inputs)) {
    GstPlugins::ensureAvailable();
}

// A name look-up under way is not waited for: its answer is dropped.
GstPlayerEngine::~GstPlayerEngine() {
    m_gate->close();
    stop();
    m_pipelines.drain();
    m_plugins.drain();
}

void GstPlayerEngine::later(quint64 generation, std::function<void()> what) {
    m_gate->post([this, generation, what = std::move(what)] {
        if (generation == m_generation)
            what();
    });
}

void GstPlayerEngine::play(const PlayTarget &target) {
    m_playTap = streamTap();
    tune(target, false);
}

void GstPlayerEngine::tune(const PlayTarget &target, bool soundRetried) {
    stop();
    const quint64 generation = ++m_generation;
    PlaybackPipeline::Events events;
    events.pictureWaiting = [this, generation] { later(generation, [this] { takePicture(); }); };
    events.finished = [this, generation](const GstMessagePtr &message) {
        later(generation, [this, message] { onFinished(message); });
    };
    events.streamsKnown = [this, generation](int pictures, int sounds, bool undecodable) {
        later(generation,
              [this, pictures, sounds, undecodable] { onStreamsKnown(pictures, sounds, undecodable); });
    };
    events.tracksFound = [this, generation](const QList<StreamTrack> &tracks) {
        later(generation, [this, tracks] { emit streamsFound(tracks); });
    };
    std::shared_ptr<PlaybackPipeline> pipeline =
        m_early ? m_early->take(target, events, m_pipelines) : std::shared_ptr<PlaybackPipeline>();
    StartupTrace::mark(pipeline ? "control took the early tune" : "control tunes");
    const bool begun = pipeline != nullptr;
    if (!begun && m_inputs)
        pipeline = std::make_shared<PlaybackPipeline>(m_inputs(target), target.options, &m_pipelines,
                                                      std::move(events));
    else if (!begun)
        pipeline = std::make_shared<PlaybackPipeline>(PlaybackPipeline::uriFor(target.address),
                                                      target.options, m_pipelines, std::move(events));
    if (begun) {
        // The early tune held what it received for whoever would want it.
        m_line = pipeline->tapLine();
        if (m_line)
            m_line->give(m_playTap);
    } else if (m_playTap) {
        m_line = std::make_shared<TapLine>(m_playTap);
        pipeline->tapInto(m_line);
    }
    m_current = pipeline;
    m_tune = Tune{target, soundRetried};
    const PipelineSettings now = settings();
    // Begun with the control's starting settings: the ones of now replace them.
    if (begun)
        m_pipelines.post([pipeline, now] { pipeline->apply(now); });
    else
        m_pipelines.post([pipeline, now] { pipeline->start(now); });
}

void GstPlayerEngine::stop() {
    // Whatever the pipeline left still has in flight reaches no tap.
    if (std::shared_ptr<TapLine> line = std::exchange(m_line, nullptr))
        line->close();
    if (!m_current)
        return;
    // Anything the old pipeline still has in flight now carries a stale number and is dropped.
    ++m_generation;
    std::shared_ptr<PlaybackPipeline> pipeline = std::move(m_current);
    pipeline->cancel();
    m_pipelines.post([pipeline] { pipeline->teardown(); });
    if (m_tune.soundFailed)
        m_pipelines.post(&SoundOutput::forget);
}

void GstPlayerEngine::setSettings(const PipelineSettings &settings) {
    PlayerEngine::setSettings(settings);
    if (std::shared_ptr<PlaybackPipeline> pipeline = m_current)
        m_pipelines.post([pipeline, settings] { pipeline->apply(settings); });
}

void GstPlayerEngine::selectTracks(const QString &soundId, const QString &subtitlesId) {
    if (std::shared_ptr<PlaybackPipeline> pipeline = m_current)
        m_pipelines.post([pipeline, soundId, subtitlesId] { pipeline->selectTracks(soundId, subtitlesId); });
}

void GstPlayerEngine::setPaused(bool paused) {
    if (std::shared_ptr<PlaybackPipeline> pipeline = m_current)
        m_pipelines.post([pipeline, paused] { pipeline->setPaused(paused); });
}

void GstPlayerEngine::lendBox(const QString &, std::function<void()> lent) {
    stop();
    m_pipelines.post([gate = m_gate, lent = std::move(lent)] { gate->post(lent); });
}

void GstPlayerEngine::waitForPipelines() {
    m_pipelines.drain();
}

void GstPlayerEngine::takePicture() {
    if (!m_current)
        return;
    PictureSink::Picture picture = m_current->takePicture();
    if (picture.image.isNull())
        return;
    m_tune.framesSeen = true;
    StartupTrace::mark("picture taken by the control");
    emit frameReady(picture.image, picture.pixelAspectRatio);
}

void GstPlayerEngine::onStreamsKnown(int pictures, int sounds, bool undecodable) {
    if (m_tune.failureReported || m_tune.framesSeen || sounds == 0)
        return;
    if (!m_tune.wantsPictures())
        emit soundOnly();
    else if (pictures == 0 && undecodable)
        // A picture this player cannot decode is not a radio channel.
        report(PlayerFailure::Unplayable, QStringLiteral("format non pris en charge"));
    else if (pictures == 0)
        emit soundOnly();
}

void GstPlayerEngine::onFinished(const GstMessagePtr &message) {
    if (m_tune.failureReported)
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
    const PipelineError::Reading reading =
        PipelineError::read(PipelineError::told(message), m_tune.framesSeen);
    if (reading.failure)
        report(*reading.failure, reading.detail);
    else
        reportConnectionFailure();
}

// The device the sink found may be gone (a sound server stopped, a headset pulled): the stream is
// tuned anew once, and the sound output looked for again after this pipeline has let it go.
void GstPlayerEngine::onSoundFailed() {
    m_tune.soundFailed = true;
    if (m_tune.soundRetried) {
        qCInfo(lcPlayer) << "sound output failed again";
        report(PlayerFailure::Unplayable, QStringLiteral("sortie son indisponible"));
        return;
    }
    qCInfo(lcPlayer) << "sound output failed: tuning anew once it is let go";
    tune(PlayTarget(m_tune.target), true);
}

void GstPlayerEngine::reportConnectionFailure() {
    // GStreamer says the same for a box that is down and for a name that does not resolve.
    m_tune.failureReported = true;
    const QString host = QUrl(m_tune.target.address).host();
    const QString authority = authorityOf(m_tune.target.address);
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
    m_tune.failureReported = true;
    qCInfo(lcPlayer).noquote() << "failed:" << int(failure) << detail << m_tune.target.address;
    emit failed(failure, detail);
}

StreamFacts GstPlayerEngine::streamFacts() {
    return m_current ? m_current->facts() : StreamFacts();
}
