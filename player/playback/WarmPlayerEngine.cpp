#include "player/playback/WarmPlayerEngine.h"

#include "player/PlayerLog.h"
#include "player/playback/CallbackGate.h"
#include "player/playback/HandoverPipeline.h"
#include "player/playback/PlaybackPipeline.h"
#include "player/playback/WarmSource.h"

#include <algorithm>

namespace {
// How often open neighbours are checked for a stall or a key frame that never comes, and the
// neighbours wanted looked at again (warmth lapses, cool-downs end).
constexpr int kInspectionIntervalMs = 1000;
} // namespace

WarmPlayerEngine::WarmPlayerEngine(std::unique_ptr<PlayerEngine> cold, QObject *parent)
    : PlayerEngine(parent), m_cold(std::move(cold)), m_gate(std::make_shared<CallbackGate>(this)),
      m_sessions(kWarmLatencyMs,
                 WarmSessions::Handlers{
                     [gate = m_gate, this](const std::weak_ptr<WarmSource> &source, WarmFailure failure) {
                         gate->post([this, source, failure] { onSourceFailed(source, failure); });
                     },
                     [gate = m_gate, this](const std::weak_ptr<WarmSource> &source) {
                         gate->run([this, &source] { m_keyFrames.request(source); });
                         gate->post([this, source] { onKeyFrameWhole(source); });
                     }}) {
    m_clock.start();
    setTiming(m_timing);
    m_inspection.setInterval(kInspectionIntervalMs);
    connect(&m_inspection, &QTimer::timeout, this, &WarmPlayerEngine::inspectSources);
    m_boxWait.setSingleShot(true);
    connect(&m_boxWait, &QTimer::timeout, this, [this] {
        if (m_coldState != ColdState::AwaitingBox)
            return;
        if (m_policy.boxLent())
            qCDebug(lcPlayer) << "the box was not given back in time: tuning all the same";
        tuneCold();
    });
    connect(&m_handover, &Handover::timedOut, this, &WarmPlayerEngine::onHandoverTimedOut);
    connect(m_cold.get(), &PlayerEngine::frameReady, this, [this](const QImage &frame, qreal aspect) {
        if (m_coldState != ColdState::Tuning)
            return;
        onFirstPicture();
        emit frameReady(frame, aspect);
    });
    connect(m_cold.get(), &PlayerEngine::failed, this, &WarmPlayerEngine::onColdFailed);
    connect(m_cold.get(), &PlayerEngine::soundOnly, this, [this] {
        if (m_coldState != ColdState::Tuning)
            return;
        onFirstPicture();
        emit soundOnly();
    });
    connect(m_cold.get(), &PlayerEngine::endOfStream, this, [this] {
        if (m_coldState == ColdState::Tuning)
            emit endOfStream();
    });
    connect(m_cold.get(), &PlayerEngine::streamsFound, this, [this](const QList<StreamTrack> &tracks) {
        if (m_coldState == ColdState::Tuning)
            emit streamsFound(tracks);
    });
}

WarmPlayerEngine::~WarmPlayerEngine() {
    m_gate->close();
    stopActive();
    // The box may be frozen: every warm session's TEARDOWN goes out at once, and the wait for their
    // answers is bounded. Decoders left need no network and are waited for.
    m_sessions.closeAll(WarmSessions::kExitDeadlineMs);
    m_teardowns.drain();
}

void WarmPlayerEngine::setTiming(const Timing &timing) {
    m_timing = timing;
    NeighbourPolicy::Rules rules = m_policy.rules();
    rules.steppingGapMs = timing.steppingGapMs;
    rules.brokenCoolMs = timing.retryAfterMs;
    m_policy.setRules(rules);
}

void WarmPlayerEngine::play(const PlayTarget &target) {
    m_policy.noteStep(target.address, now());
    stopActive();
    ++m_generation;
    m_target = target;
    m_shown = false;
    m_coldRetried = false;
    m_returnRetried = false;
    m_lastHandedOver = false;
    std::shared_ptr<WarmSource> source = m_sessions.find(target.address);
    if (source && !canHandOver(target)) {
        // Its warm session was opened with other settings: it gives way, and the cold tune waits
        // for its close, so the channel never has two sessions at once.
        closeWarm(target.address, "opened with other settings than the play's");
        source.reset();
    }
    const bool ready = source && source->isReady(m_timing.maxSilenceMs);
    if (ready)
        showStill(source);
    if (m_policy.keyHeld(now()) && canHandOver(target)) {
        // A held key steps on before a decoder or a session started now would show anything: the
        // channel is tuned once the key stays on it, its warm session kept meanwhile.
        m_lastHandedOver = ready;
        m_handover.hold(source, m_timing.heldTuneDelayMs);
        reconcile();
        return;
    }
    proceedWith(source);
    reconcile();
}

void WarmPlayerEngine::proceedWith(const std::shared_ptr<WarmSource> &source) {
    if (!source) {
        startCold();
    } else if (source->isReady(m_timing.maxSilenceMs)) {
        startHandover(source);
    } else if (source->hasFailed()) {
        m_handover.awaitKeyFrame(source, 0);
        fallBack("its warm session failed");
    } else if (source->bytesReceived() > 0 && source->isSilentFor(m_timing.maxSilenceMs)) {
        // It came and went silent (its server ended it, perhaps with a BYE that named no SSRC of
        // its): no key frame will come, and a tune anew needs no waiting for one.
        m_handover.awaitKeyFrame(source, 0);
        fallBack("its warm session went silent", true);
    } else {
        // Closing it to tune the channel anew would cost a second session for the same channel, and
        // a box that keeps sessions it was asked to end would hold both: its key frame is near.
        m_handover.awaitKeyFrame(source, m_timing.handoverGraceMs);
    }
}

void WarmPlayerEngine::stop() {
    stopActive();
    ++m_generation;
    m_target.reset();
    m_shown = false;
    m_policy.noteStopped();
}

void WarmPlayerEngine::stopForRetry() {
    stopActive();
    ++m_generation;
    m_target.reset();
    m_shown = false;
    m_recovering = true;
}

void WarmPlayerEngine::setSettings(const PipelineSettings &settings) {
    PlayerEngine::setSettings(settings);
    m_keyFrames.setBound(settings.pictureBound);
    m_cold->setSettings(settings);
    if (std::shared_ptr<HandoverPipeline> handover = m_handover.pipeline())
        m_pipelines.post([handover, settings] { handover->apply(settings); });
}

void WarmPlayerEngine::selectTracks(const QString &soundId, const QString &subtitlesId) {
    if (m_coldState == ColdState::Tuning)
        m_cold->selectTracks(soundId, subtitlesId);
    else if (std::shared_ptr<HandoverPipeline> handover = m_handover.pipeline())
        m_pipelines.post([handover, soundId, subtitlesId] { handover->selectTracks(soundId, subtitlesId); });
}

void WarmPlayerEngine::setNeighbours(const QStringList &addresses) {
    m_policy.offer(addresses);
    reconcile();
}

void WarmPlayerEngine::lendBox(std::function<void()> lent) {
    stop();
    m_policy.setBoxLent(true);
    reconcile();
    // Lent once both the cold engine's session and every warm one are closed, whichever is last.
    auto remaining = std::make_shared<int>(2);
    auto oneClosed = [remaining, lent = std::move(lent)] {
        if (--*remaining == 0)
            lent();
    };
    m_cold->lendBox(oneClosed);
    m_sessions.whenClosed([gate = m_gate, oneClosed] { gate->post(oneClosed); });
}

void WarmPlayerEngine::boxReturned() {
    if (!m_policy.boxLent())
        return;
    m_policy.setBoxLent(false);
    m_boxReturnedAtMs = now();
    m_boxWait.stop();
    if (m_coldState == ColdState::AwaitingBox)
        tuneColdWhenFree();
    reconcile();
}

bool WarmPlayerEngine::canHandOver(const PlayTarget &target) const {
    // Warm sessions are opened with the player's own settings: a target asking for others is played cold.
    return !target.options.sout && !target.options.rtspTcp && !target.options.networkCachingMs;
}

void WarmPlayerEngine::stopActive() {
    m_boxWait.stop();
    if (m_coldState == ColdState::Tuning) {
        // Its channel is not warmed before the box has seen this session close: stepping from a
        // channel tuned cold to a warm one would otherwise ask at once for the channel just left.
        const QString address = m_target->address;
        ++m_coldClosing[address];
        m_cold->lendBox([gate = m_gate, this, address] {
            gate->run([this, &address] {
                if (--m_coldClosing[address] <= 0)
                    m_coldClosing.remove(address);
                reconcile();
            });
        });
    }
    m_coldState = ColdState::Off;
    // The source stays open and keeps its ring: stepping back to it is warm at once.
    dropHandoverPipeline();
    m_handover.reset();
}

void WarmPlayerEngine::dropHandoverPipeline() {
    if (std::shared_ptr<HandoverPipeline> handover = m_handover.takePipeline())
        m_teardowns.post([handover] { handover->teardown(); });
}

void WarmPlayerEngine::showStill(const std::shared_ptr<WarmSource> &source) {
    if (!m_target->options.video)
        return;
    const PictureSink::Picture picture = source->keyFramePicture(m_timing.maxSilenceMs);
    if (picture.image.isNull())
        return;
    // Queued as the decoders' pictures are: the caller learns of a picture after play() returns.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, picture] {
            if (generation != m_generation || m_handover.state() == HandoverState::Live)
                return;
            // It stands for the channel, so warming ahead may go on; but it is no proof of a stream.
            m_policy.noteShown();
            emit stillReady(picture.image, picture.pixelAspectRatio);
        },
        Qt::QueuedConnection);
}

void WarmPlayerEngine::onHandoverTimedOut(HandoverState state) {
    switch (state) {
    case HandoverState::HeldKey:
        proceedWith(m_handover.source());
        break;
    case HandoverState::AwaitingKeyFrame:
        fallBack("no whole key frame in time");
        break;
    case HandoverState::Starting:
        fallBack("no picture in time");
        break;
    default:
        break;
    }
}

void WarmPlayerEngine::onKeyFrameWhole(const std::weak_ptr<WarmSource> &weak) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (source && m_handover.state() == HandoverState::AwaitingKeyFrame && m_handover.source() == source &&
        source->isReady(m_timing.maxSilenceMs))
        startHandover(source);
}

void WarmPlayerEngine::startHandover(const std::shared_ptr<WarmSource> &source) {
    m_lastHandedOver = true;
    m_policy.noteShown();
    const quint64 generation = m_generation;
    HandoverPipeline::Events events;
    events.pictureWaiting = [gate = m_gate, this, generation] {
        gate->post([this, generation] { takeHandoverPicture(generation); });
    };
    events.ended = [gate = m_gate, this, generation](bool error) {
        gate->post([this, generation, error] { onHandoverEnded(generation, error); });
    };
    events.tracksFound = [gate = m_gate, this, generation](const QList<StreamTrack> &tracks) {
        gate->post([this, generation, tracks] {
            if (generation == m_generation && m_handover.pipeline())
                emit streamsFound(tracks);
        });
    };
    auto handover = std::make_shared<HandoverPipeline>(source, m_target->options, std::move(events));
    m_handover.start(source, handover, m_timing.handoverGraceMs);
    m_pipelines.post([handover, settings = settings()] { handover->start(settings); });
}

void WarmPlayerEngine::fallBack(const char *why, bool ended) {
    if (!m_target)
        return;
    dropHandoverPipeline();
    const std::shared_ptr<WarmSource> source = m_handover.fallBack(why);
    if (source) {
        // Closed before the cold tune asks, never alongside it; not tried warm again soon unless
        // its server merely ended it.
        const QString address = source->address();
        if (ended)
            m_policy.noteEnded(address, m_sessions.openedAt(address), now());
        else
            m_policy.noteFailure(address, WarmFailure::Broken, loadBesides(address), now());
        closeWarm(address, why);
    }
    m_lastHandedOver = false;
    emit restarted();
    startCold();
}

void WarmPlayerEngine::startCold() {
    m_coldState = ColdState::AwaitingCloses;
    // The sessions the new position does not want close first; a box known to be full is asked
    // only once they are gone.
    reconcile();
    tuneColdWhenFree();
}

void WarmPlayerEngine::tuneColdWhenFree() {
    if (m_policy.boxLent()) {
        m_coldState = ColdState::AwaitingBox;
        m_boxWait.start(m_timing.boxReturnMs);
        return;
    }
    m_coldState = ColdState::AwaitingCloses;
    const bool ownClosing = m_sessions.isClosing(m_target->address);
    const bool boxFull = m_policy.warmLimit(now()).has_value() && m_sessions.closing() > 0;
    if (!ownClosing && !boxFull && !m_coldRetried) {
        tuneCold();
        return;
    }
    const quint64 generation = m_generation;
    m_sessions.whenClosed([gate = m_gate, this, generation] {
        gate->post([this, generation] {
            if (generation == m_generation && m_coldState == ColdState::AwaitingCloses)
                tuneCold();
        });
    });
}

void WarmPlayerEngine::tuneCold() {
    m_boxWait.stop();
    dropHandoverPipeline();
    m_handover.reset();
    m_coldState = ColdState::Tuning;
    ++m_sessionsRequested;
    m_cold->play(*m_target);
    notePeak();
}

void WarmPlayerEngine::onColdFailed(PlayerFailure failure, const QString &detail) {
    if (m_coldState != ColdState::Tuning || retryAfterReturn(failure))
        return;
    // The watched channel comes first: refused while warm sessions were open, it is asked again,
    // once, when they are gone, and the user hears of a failure only if that one fails too. (A box
    // out of sessions may also read as unreachable to the cold path.)
    const NeighbourPolicy::BoxLoad load = loadBesides(m_target->address);
    const bool refused = failure == PlayerFailure::BoxBusy || failure == PlayerFailure::BoxUnreachable;
    if (refused && load.warm > 0 && !m_shown && !m_coldRetried) {
        if (failure == PlayerFailure::BoxBusy)
            m_policy.noteWatchedRefused(load, now());
        m_coldRetried = true;
        m_cold->stop();
        for (const QString &address : m_sessions.addresses())
            closeWarm(address, "the box refused the watched channel a session");
        emit restarted();
        tuneColdWhenFree();
        return;
    }
    emit failed(failure, detail);
}

bool WarmPlayerEngine::retryAfterReturn(PlayerFailure failure) {
    const bool refused = failure == PlayerFailure::BoxBusy || failure == PlayerFailure::BoxUnreachable;
    if (!refused || m_shown || m_returnRetried || m_boxReturnedAtMs < 0 ||
        now() - m_boxReturnedAtMs > m_timing.returnGraceMs)
        return false;
    qCDebug(lcPlayer) << "refused" << now() - m_boxReturnedAtMs << "ms after the box came back: asking again";
    m_returnRetried = true;
    m_cold->stop();
    // Waits as for the box itself: no neighbour is asked for meanwhile.
    m_coldState = ColdState::AwaitingBox;
    m_boxWait.start(m_timing.returnRetryMs);
    return true;
}

void WarmPlayerEngine::takeHandoverPicture(quint64 generation) {
    const std::shared_ptr<HandoverPipeline> handover = m_handover.pipeline();
    if (generation != m_generation || !handover)
        return;
    const PictureSink::Picture picture = handover->takePicture();
    if (picture.image.isNull())
        return;
    m_handover.goLive();
    onFirstPicture();
    emit frameReady(picture.image, picture.pixelAspectRatio);
}

void WarmPlayerEngine::onHandoverEnded(quint64 generation, bool error) {
    if (generation != m_generation || !m_handover.pipeline())
        return;
    if (m_handover.state() != HandoverState::Live) {
        // Nothing was shown yet: the user never sees this neighbour's trouble, only a cold tune.
        fallBack("the decoder ended before a picture");
        return;
    }
    const QString address = m_handover.address();
    stopActive();
    if (error) {
        giveUp(address, WarmFailure::Broken);
        emit failed(PlayerFailure::StreamInterrupted, QString());
    } else {
        // The supervisor tunes it again; the cold tune asks once the box has seen this one go.
        onEnded(address, "its server ended it while watched");
        emit endOfStream();
    }
}

void WarmPlayerEngine::onFirstPicture() {
    if (m_shown)
        return;
    m_shown = true;
    if (std::exchange(m_recovering, false))
        m_policy.noteRecovered();
    m_policy.noteShown();
    reconcile();
}

void WarmPlayerEngine::onSourceFailed(const std::weak_ptr<WarmSource> &weak, WarmFailure failure) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (!source || m_sessions.find(source->address()) != source)
        return;
    const bool ended = failure == WarmFailure::Ended;
    if (m_handover.source() == source) {
        if (m_handover.state() != HandoverState::Live) {
            // Its key frame may be on screen, but nothing more of this session will be.
            fallBack(ended ? "its server ended its warm session" : "its warm session failed", ended);
            return;
        }
        // The session under the watched channel ended or broke: as the cold path would say.
        onHandoverEnded(m_generation, !ended);
        return;
    }
    if (ended)
        onEnded(source->address(), "its server ended it");
    else
        giveUp(source->address(), failure);
    reconcile();
}

void WarmPlayerEngine::giveUp(const QString &address, WarmFailure failure) {
    m_policy.noteFailure(address, failure, loadBesides(address), now());
    closeWarm(address, WarmFailures::name(failure));
}

void WarmPlayerEngine::onEnded(const QString &address, const char *why) {
    m_policy.noteEnded(address, m_sessions.openedAt(address), now());
    closeWarm(address, why);
    // Asked for again as soon as the box has seen it go, not at the next inspection.
    m_sessions.whenClosed([gate = m_gate, this] { gate->post([this] { reconcile(); }); });
}

void WarmPlayerEngine::closeWarm(const QString &address, const char *why) {
    if (!m_sessions.find(address))
        return;
    qCInfo(lcPlayer) << "warm" << address << "closed:" << why;
    m_sessions.close(address);
    m_firstPacketMs.remove(address);
    m_everReady.remove(address);
}

void WarmPlayerEngine::reconcile() {
    const qint64 at = now();
    const QStringList wanted = m_policy.wanted(at);
    const QString active = m_handover.address();
    for (const QString &address : m_sessions.addresses()) {
        if (address != active && !wanted.contains(address))
            closeWarm(address, "no longer wanted");
    }
    // While the watched channel waits for its own session, nothing else is asked of the box.
    const bool coldWaiting =
        m_coldState == ColdState::AwaitingCloses || m_coldState == ColdState::AwaitingBox;
    if (m_policy.mayOpen(at) && !coldWaiting) {
        // Sessions still closing count as the box's until it has seen them go.
        const std::optional<int> limit = m_policy.warmLimit(at);
        int room = limit ? *limit - (m_sessions.size() - (active.isEmpty() ? 0 : 1)) - m_sessions.closing()
                         : int(wanted.size());
        for (const QString &address : wanted) {
            if (room <= 0)
                break;
            if ((m_target && address == m_target->address) || m_sessions.find(address) ||
                m_sessions.isClosing(address) || m_coldClosing.contains(address))
                continue;
            m_sessions.open(address, at);
            ++m_sessionsRequested;
            --room;
        }
    }
    notePeak();
    // A cool-down that ends must find the inspection still running, or its neighbour waits for
    // the next channel change.
    if (m_sessions.size() == 0 && wanted.isEmpty() && !m_policy.anyCoolingDown(at))
        m_inspection.stop();
    else if (!m_inspection.isActive())
        m_inspection.start();
}

void WarmPlayerEngine::inspectSources() {
    const qint64 at = now();
    const QString active = m_handover.address();
    QList<QPair<QString, WarmFailure>> failing;
    QStringList silent;
    for (const auto &[address, source] : m_sessions.sources()) {
        if (address == active || source->hasFailed())
            continue;
        if (source->bytesReceived() > 0 && !m_firstPacketMs.contains(address))
            m_firstPacketMs[address] = at;
        if (source->isReady(m_timing.maxSilenceMs))
            m_everReady.insert(address);
        if (m_everReady.contains(address)) {
            if (source->isSilentFor(m_timing.stallMs))
                silent.append(address);
        } else if (m_policy.overdue(m_sessions.openedAt(address), m_firstPacketMs.value(address, -1), at)) {
            failing.append({address, WarmFailure::NeverReady});
        }
    }
    for (const auto &[address, failure] : failing)
        giveUp(address, failure);
    // Silent with nothing said: a server that ended the session with a BYE naming no SSRC of its.
    for (const QString &address : silent)
        onEnded(address, "silent since it was ready");
    reconcile();
}

NeighbourPolicy::BoxLoad WarmPlayerEngine::loadBesides(const QString &address) const {
    NeighbourPolicy::BoxLoad load;
    const QString active = m_handover.address();
    for (const auto &[held, source] : m_sessions.sources()) {
        if (held != address && !source->hasFailed()) {
            ++load.sessions;
            if (held != active)
                ++load.warm;
        }
    }
    // Closing ones are the box's until it has seen them go.
    load.sessions += m_sessions.closing();
    load.warm += m_sessions.closing();
    if (m_coldState == ColdState::Tuning && m_target && m_target->address != address)
        ++load.sessions;
    return load;
}

int WarmPlayerEngine::sessionsOpen() const {
    return m_sessions.size() + m_sessions.closing() + (m_coldState == ColdState::Tuning ? 1 : 0);
}

void WarmPlayerEngine::notePeak() {
    m_peakSessions = std::max(m_peakSessions, sessionsOpen());
}
