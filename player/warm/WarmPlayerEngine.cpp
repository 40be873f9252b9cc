#include "player/warm/WarmPlayerEngine.h"

#include "player/PlayerLog.h"
#include "player/engine/CallbackGate.h"
#include "player/engine/TapLine.h"
#include "player/pipeline/PlaybackPipeline.h"
#include "player/warm/HandoverPipeline.h"
#include "player/warm/WarmSource.h"

#include <algorithm>

namespace {
// How often open neighbours are checked for a stall or a key frame that never comes, and the
// neighbours wanted looked at again (warmth lapses, cool-downs end).
constexpr int kInspectionIntervalMs = 1000;
} // namespace

using WatchRoute::Action;
using WatchRoute::EventKind;

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
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] { dispatch({EventKind::Deadline}); });
    connect(m_cold.get(), &PlayerEngine::frameReady, this, [this](const QImage &frame, qreal aspect) {
        dispatch({EventKind::ColdPicture}, {frame, aspect, {}, {}});
    });
    connect(m_cold.get(), &PlayerEngine::failed, this, [this](PlayerFailure failure, const QString &detail) {
        dispatch({EventKind::ColdFailed, false, failure}, {{}, 1, {}, detail});
    });
    connect(m_cold.get(), &PlayerEngine::soundOnly, this, [this] { dispatch({EventKind::ColdSoundOnly}); });
    connect(m_cold.get(), &PlayerEngine::endOfStream, this, [this] { dispatch({EventKind::ColdEnded}); });
    connect(m_cold.get(), &PlayerEngine::streamsFound, this, [this](const QList<StreamTrack> &tracks) {
        dispatch({EventKind::ColdTracks}, {{}, 1, tracks, {}});
    });
}

WarmPlayerEngine::~WarmPlayerEngine() {
    m_gate->close();
    dispatch({EventKind::Stop});
    closeTap();
    // The box may be frozen: every warm session's TEARDOWN goes out at once, and the wait for their
    // answers is bounded. Decoders left need no network and are waited for.
    m_sessions.closeAll(WarmSessions::kExitDeadlineMs);
    m_handover.drain();
}

void WarmPlayerEngine::setTiming(const Timing &timing) {
    m_timing = timing;
    m_routeTiming = {timing.heldTuneDelayMs, timing.handoverGraceMs, timing.boxReturnMs, timing.returnGraceMs,
                     timing.returnRetryMs};
    NeighbourPolicy::Rules rules = m_policy.rules();
    rules.steppingGapMs = timing.steppingGapMs;
    rules.brokenCoolMs = timing.retryAfterMs;
    m_policy.setRules(rules);
}

void WarmPlayerEngine::play(const PlayTarget &target) {
    m_policy.noteStep(target.address, now());
    ++m_generation;
    m_target = target;
    closeTap();
    if (const StreamTap &tap = streamTap())
        m_line = std::make_shared<TapLine>(tap);
    m_handover.setSource(m_sessions.find(target.address));
    dispatch({EventKind::Play});
}

void WarmPlayerEngine::stop() {
    dispatch({EventKind::Stop});
    closeTap();
    ++m_generation;
    m_target.reset();
    m_handover.setSource(nullptr);
    m_policy.noteStopped();
}

void WarmPlayerEngine::stopForRetry() {
    dispatch({EventKind::StopForRetry});
    closeTap();
    ++m_generation;
    m_target.reset();
    m_handover.setSource(nullptr);
}

void WarmPlayerEngine::setSettings(const PipelineSettings &settings) {
    PlayerEngine::setSettings(settings);
    m_keyFrames.setBound(settings.pictureBound);
    m_cold->setSettings(settings);
    m_handover.apply(settings);
}

void WarmPlayerEngine::selectTracks(const QString &soundId, const QString &subtitlesId) {
    if (WatchRoute::playsCold(m_route.phase))
        m_cold->selectTracks(soundId, subtitlesId);
    else
        m_handover.selectTracks(soundId, subtitlesId);
}

StreamFacts WarmPlayerEngine::streamFacts() {
    return WatchRoute::playsCold(m_route.phase) ? m_cold->streamFacts() : m_handover.facts();
}

void WarmPlayerEngine::setNeighbours(const QStringList &addresses) {
    m_policy.offer(addresses);
    reconcile();
}

void WarmPlayerEngine::lendBox(const QString &address, std::function<void()> lent) {
    stop();
    m_policy.lendBox(address);
    reconcile();
    // Lent once both the cold engine's session and every warm one on that box are closed,
    // whichever is last; warm sessions on other boxes stay.
    auto remaining = std::make_shared<int>(2);
    auto oneClosed = [remaining, lent = std::move(lent)] {
        if (--*remaining == 0)
            lent();
    };
    m_cold->lendBox(address, oneClosed);
    m_sessions.whenClosed([gate = m_gate, oneClosed] { gate->post(oneClosed); }, Boxes::keyOf(address));
}

void WarmPlayerEngine::boxReturned(const QString &address) {
    if (!m_policy.boxLent(address))
        return;
    m_policy.boxReturned(address, now());
    if (!m_target || Boxes::sameBox(address, m_target->address))
        dispatch({EventKind::BoxReturned});
    reconcile();
}

bool WarmPlayerEngine::canHandOver(const PlayTarget &target) const {
    // Warm sessions are opened with the player's own settings: a target asking for others is played cold.
    return !target.options.sout && !target.options.rtspTcp && !target.options.networkCachingMs;
}

void WarmPlayerEngine::dispatch(WatchRoute::Event event, const Carried &carried) {
    event.facts = facts();
    const WatchRoute::Step step = WatchRoute::advance(m_route, event, m_routeTiming, now());
    if (*step.why && (step.next.phase != m_route.phase || event.kind == EventKind::Play))
        qCDebug(lcPlayer).nospace() << "watched " << (m_target ? m_target->address : QString()) << ": "
                                    << WatchRoute::name(m_route.phase) << " -> "
                                    << WatchRoute::name(step.next.phase) << " (" << step.why << ")";
    m_route = step.next;
    armDeadline();
    // A play or stop from a receiver of what is emitted makes the rest of this step stale.
    const quint64 generation = m_generation;
    for (Action action : step.actions) {
        if (generation != m_generation)
            break;
        carryOut(action, event, carried, step.why);
    }
}

WatchRoute::Facts WarmPlayerEngine::facts() const {
    WatchRoute::Facts facts;
    const qint64 at = now();
    facts.warm = m_handover.warmth(m_timing.maxSilenceMs);
    facts.keyHeld = m_policy.keyHeld(at);
    if (m_target) {
        // Only the watched channel's own box matters to its tune.
        facts.boxLent = m_policy.boxLent(m_target->address);
        facts.canHandOver = canHandOver(*m_target);
        facts.mustAwaitCloses = m_sessions.isClosing(m_target->address) ||
                                (m_policy.sessionLimit(m_target->address, at).has_value() &&
                                 m_sessions.closing(watchedBox()) > 0);
        facts.othersWarm = loadBesides(m_target->address).warm > 0;
    }
    return facts;
}

void WarmPlayerEngine::armDeadline() {
    // Early or stale, the route ignores it, and the timer is armed again for what is left.
    if (m_route.deadlineMs < 0)
        m_deadline.stop();
    else
        m_deadline.start(int(std::max<qint64>(0, m_route.deadlineMs - now())));
}

void WarmPlayerEngine::carryOut(Action action, const WatchRoute::Event &event, const Carried &carried,
                                const char *why) {
    switch (action) {
    case Action::CloseWarm:
    case Action::GiveUpWarm:
    case Action::EndWarm:
        dropWatched(action, action == Action::CloseWarm ? "opened with other settings than the play's" : why);
        break;
    case Action::ReconcileWhenClosed:
        // Asked for again as soon as the box has seen it go, not at the next inspection.
        m_sessions.whenClosed([gate = m_gate, this] { gate->post([this] { reconcile(); }); });
        break;
    case Action::ShowStill:
        showStill();
        break;
    case Action::StartDecoder:
        startDecoder();
        break;
    case Action::DropDecoder:
        untapWarm();
        m_handover.drop();
        break;
    case Action::ReleaseCold:
        releaseCold();
        break;
    case Action::StopCold:
        m_cold->stop();
        break;
    case Action::CloseOthers:
        for (const QString &address : m_sessions.addresses()) {
            if (Boxes::sameBox(address, m_target->address))
                closeWarm(address, "the box refused the watched channel a session");
        }
        break;
    case Action::CheckBox:
        dispatch({EventKind::CheckedBox});
        break;
    case Action::AwaitCloses:
        awaitCloses();
        break;
    case Action::TuneCold:
        tuneCold();
        break;
    case Action::NoteShown:
        m_policy.noteShown();
        break;
    case Action::NoteRecovered:
        m_policy.noteRecovered();
        break;
    case Action::NoteRefused:
        m_policy.noteWatchedRefused(m_target->address, loadBesides(m_target->address), now());
        break;
    case Action::Reconcile:
        reconcile();
        break;
    case Action::Restarted:
        emit restarted();
        break;
    case Action::EmitStill:
        emit stillReady(carried.picture, carried.aspect);
        break;
    case Action::EmitPicture:
        emit frameReady(carried.picture, carried.aspect);
        break;
    case Action::EmitSoundOnly:
        emit soundOnly();
        break;
    case Action::EmitTracks:
        emit streamsFound(carried.tracks);
        break;
    case Action::EmitFailed:
    case Action::EmitInterrupted:
        emit failed(action == Action::EmitFailed ? event.failure : PlayerFailure::StreamInterrupted,
                    carried.detail);
        break;
    case Action::EmitEnded:
        emit endOfStream();
        break;
    }
}

void WarmPlayerEngine::dropWatched(Action action, const char *why) {
    untapWarm();
    const std::shared_ptr<WarmSource> source = m_handover.takeSource();
    if (!source)
        return;
    // Closed before a cold tune asks, never alongside it; not tried warm again soon unless its
    // server merely ended it.
    const QString address = source->address();
    if (action == Action::GiveUpWarm)
        m_policy.noteFailure(address, WarmFailure::Broken, loadBesides(address), now());
    else if (action == Action::EndWarm)
        m_policy.noteEnded(address, m_sessions.openedAt(address), now());
    closeWarm(address, why);
}

void WarmPlayerEngine::showStill() {
    if (!m_target->options.video || !m_handover.source())
        return;
    const PictureSink::Picture picture = m_handover.source()->keyFramePicture(m_timing.maxSilenceMs);
    if (picture.image.isNull())
        return;
    // Queued as the decoders' pictures are: the caller learns of a picture after play() returns.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, picture] {
            if (generation == m_generation)
                dispatch({EventKind::StillReady}, {picture.image, picture.pixelAspectRatio, {}, {}});
        },
        Qt::QueuedConnection);
}

void WarmPlayerEngine::startDecoder() {
    const quint64 generation = m_generation;
    // Each of them only for the decoder of this play, while it is still there.
    auto post = [gate = m_gate, this, generation](std::function<void()> call) {
        gate->post([this, generation, call = std::move(call)] {
            if (generation == m_generation && m_handover.decoding())
                call();
        });
    };
    HandoverPipeline::Events events;
    events.pictureWaiting = [this, post] {
        post([this] {
            const PictureSink::Picture picture = m_handover.takePicture();
            if (!picture.image.isNull())
                dispatch({EventKind::DecoderPicture}, {picture.image, picture.pixelAspectRatio, {}, {}});
        });
    };
    events.ended = [this, post](bool error) {
        post([this, error] { dispatch({EventKind::DecoderEnded, error}); });
    };
    events.tracksFound = [this, post](const QList<StreamTrack> &tracks) {
        post([this, tracks] { dispatch({EventKind::DecoderTracks}, {{}, 1, tracks, {}}); });
    };
    m_handover.start(m_target->options, settings(), std::move(events));
    // What the session holds from its key frame first, so that the moments before the step are
    // there too; not when the play's tap has had packets already (from the cold path): they
    // would come twice.
    if (m_line && m_handover.source())
        m_handover.source()->tapInto(m_line, !m_line->hasDelivered());
}

void WarmPlayerEngine::untapWarm() {
    if (const std::shared_ptr<WarmSource> &source = m_handover.source())
        source->tapInto(nullptr, false);
}

void WarmPlayerEngine::closeTap() {
    untapWarm();
    if (std::shared_ptr<TapLine> line = std::exchange(m_line, nullptr))
        line->close();
}

void WarmPlayerEngine::releaseCold() {
    // Its channel is not warmed before the box has seen this session close: stepping from a
    // channel tuned cold to a warm one would otherwise ask at once for the channel just left.
    const QString address = m_coldAddress;
    ++m_coldClosing[address];
    m_cold->lendBox(address, [gate = m_gate, this, address] {
        gate->run([this, &address] {
            if (--m_coldClosing[address] <= 0)
                m_coldClosing.remove(address);
            reconcile();
        });
    });
}

void WarmPlayerEngine::awaitCloses() {
    const quint64 generation = m_generation;
    m_sessions.whenClosed(
        [gate = m_gate, this, generation] {
            gate->post([this, generation] {
                if (generation == m_generation)
                    dispatch({EventKind::ClosesDone});
            });
        },
        watchedBox());
}

QString WarmPlayerEngine::watchedBox() const {
    return m_target ? Boxes::keyOf(m_target->address) : QString();
}

void WarmPlayerEngine::tuneCold() {
    m_coldAddress = m_target->address;
    ++m_sessionsRequested;
    // The warm session has stopped feeding the tap by now (it was let go or never handed over).
    untapWarm();
    StreamTap tap;
    if (m_line)
        tap = [line = m_line](const QByteArray &packets, qint64 arrivalNs) {
            line->deliver(packets, arrivalNs);
        };
    m_cold->setStreamTap(std::move(tap));
    m_cold->play(*m_target);
    notePeak();
}

void WarmPlayerEngine::onKeyFrameWhole(const std::weak_ptr<WarmSource> &weak) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (source && source == m_handover.source())
        dispatch({EventKind::KeyFrameWhole});
}

void WarmPlayerEngine::onSourceFailed(const std::weak_ptr<WarmSource> &weak, WarmFailure failure) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (!source || m_sessions.find(source->address()) != source)
        return;
    const bool ended = failure == WarmFailure::Ended;
    if (source == m_handover.source()) {
        dispatch({EventKind::SessionFailed, !ended});
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
    m_sessions.whenClosed([gate = m_gate, this] { gate->post([this] { reconcile(); }); },
                          Boxes::keyOf(address));
}

void WarmPlayerEngine::closeWarm(const QString &address, const char *why) {
    if (!m_sessions.find(address))
        return;
    qCInfo(lcPlayer) << "warm" << address << "closed:" << why;
    m_sessions.close(address);
    m_inspector.forget(address);
}

void WarmPlayerEngine::reconcile() {
    const qint64 at = now();
    const QStringList wanted = m_policy.wanted(at);
    const QString active = activeAddress();
    for (const QString &address : m_sessions.addresses()) {
        if (address != active && !wanted.contains(address))
            closeWarm(address, "no longer wanted");
    }
    // While the watched channel waits for its own session, nothing else is asked of the box.
    if (m_policy.mayOpen(at) && !WatchRoute::awaitingTune(m_route.phase)) {
        for (const QString &address : wanted) {
            if ((m_target && address == m_target->address) || m_sessions.find(address) ||
                m_sessions.isClosing(address) || m_coldClosing.contains(address))
                continue;
            // Each box's room is its own: a full box never holds back a neighbour on another.
            if (const std::optional<int> room = m_policy.room(address, sessionsOn(address), at);
                room && *room <= 0)
                continue;
            m_sessions.open(address, at);
            ++m_sessionsRequested;
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
    const NeighbourInspection::Findings findings = m_inspector.inspect(
        m_sessions, m_policy, activeAddress(), {m_timing.maxSilenceMs, m_timing.stallMs}, now());
    for (const auto &[address, failure] : findings.failing)
        giveUp(address, failure);
    // Silent with nothing said: a server that ended the session with a BYE naming no SSRC of its.
    for (const QString &address : findings.silent)
        onEnded(address, "silent since it was ready");
    reconcile();
}

QString WarmPlayerEngine::activeAddress() const {
    const std::shared_ptr<WarmSource> &watched = m_handover.source();
    return watched && WatchRoute::handingOver(m_route.phase) ? watched->address() : QString();
}

NeighbourPolicy::BoxLoad WarmPlayerEngine::loadBesides(const QString &address) const {
    NeighbourPolicy::BoxLoad load;
    const QString active = activeAddress();
    for (const auto &[held, source] : m_sessions.sources()) {
        if (held != address && !source->hasFailed() && Boxes::sameBox(held, address)) {
            ++load.sessions;
            if (held != active)
                ++load.warm;
        }
    }
    // Closing ones are the box's until it has seen them go.
    const int closing = m_sessions.closing(Boxes::keyOf(address));
    load.sessions += closing;
    load.warm += closing;
    if (WatchRoute::playsCold(m_route.phase) && m_target && m_target->address != address &&
        Boxes::sameBox(m_target->address, address))
        ++load.sessions;
    return load;
}

Box::Sessions WarmPlayerEngine::sessionsOn(const QString &address) const {
    const QString box = Boxes::keyOf(address);
    Box::Sessions sessions;
    sessions.held = m_sessions.heldOn(box);
    // Sessions still closing count as the box's until it has seen them go.
    sessions.closing = m_sessions.closing(box);
    for (auto it = m_coldClosing.cbegin(); it != m_coldClosing.cend(); ++it) {
        if (Boxes::keyOf(it.key()) == box)
            sessions.closing += it.value();
    }
    // The watched channel's own session, unless it is a warm one counted already.
    if (m_target && Boxes::keyOf(m_target->address) == box && !m_sessions.find(m_target->address))
        sessions.watched = 1;
    return sessions;
}

int WarmPlayerEngine::sessionsOpenOn(const QString &address) const {
    const Box::Sessions sessions = sessionsOn(address);
    const bool coldHere = WatchRoute::playsCold(m_route.phase) && sessions.watched > 0;
    return sessions.held + sessions.closing + (coldHere ? 1 : 0);
}

int WarmPlayerEngine::sessionsOpen() const {
    return m_sessions.size() + m_sessions.closing() + (WatchRoute::playsCold(m_route.phase) ? 1 : 0);
}

void WarmPlayerEngine::notePeak() {
    m_peakSessions = std::max(m_peakSessions, sessionsOpen());
}
