#include "player/playback/WarmPlayerEngine.h"

#include "player/PlayerLog.h"
#include "player/playback/HandoverPipeline.h"
#include "player/playback/WarmSource.h"

namespace {
// How often open neighbours are checked for a stall, and refused ones for the end of their pause.
constexpr int kInspectionIntervalMs = 1000;
} // namespace

WarmPlayerEngine::WarmPlayerEngine(std::unique_ptr<PlayerEngine> cold, QObject *parent)
    : PlayerEngine(parent), m_cold(std::move(cold)) {
    m_clock.start();
    m_inspection.setInterval(kInspectionIntervalMs);
    connect(&m_inspection, &QTimer::timeout, this, &WarmPlayerEngine::inspectSources);
    m_handoverGrace.setSingleShot(true);
    connect(&m_handoverGrace, &QTimer::timeout, this, &WarmPlayerEngine::fallBackToCold);
    m_heldTune.setSingleShot(true);
    connect(&m_heldTune, &QTimer::timeout, this, &WarmPlayerEngine::onHeldTuneDue);
    connect(m_cold.get(), &PlayerEngine::frameReady, this, [this](const QImage &frame, qreal aspect) {
        if (!m_coldActive)
            return;
        onFirstPicture();
        emit frameReady(frame, aspect);
    });
    connect(m_cold.get(), &PlayerEngine::failed, this, [this](PlayerFailure failure, const QString &detail) {
        if (!m_coldActive)
            return;
        // The watched channel comes first: whatever the box refused it, warm sessions give way. If
        // some were open, the box may have refused it for their sake: it is asked again, once, when
        // they are gone, and the user hears of a failure only if that one fails too.
        const bool warmWereOpen = closeIdleSources();
        if (warmWereOpen && !m_shown && !m_coldRetried) {
            m_coldRetried = true;
            noteRefusal();
            playColdAfterCloses();
            return;
        }
        emit failed(failure, detail);
    });
    connect(m_cold.get(), &PlayerEngine::soundOnly, this, [this] {
        if (!m_coldActive)
            return;
        onFirstPicture();
        emit soundOnly();
    });
    connect(m_cold.get(), &PlayerEngine::endOfStream, this, [this] {
        if (m_coldActive)
            emit endOfStream();
    });
    connect(m_cold.get(), &PlayerEngine::streamsFound, this, [this](const QList<StreamTrack> &tracks) {
        if (m_coldActive)
            emit streamsFound(tracks);
    });
}

WarmPlayerEngine::~WarmPlayerEngine() {
    stopActive();
    for (auto &[address, source] : m_sources) {
        std::shared_ptr<WarmSource> closing = source;
        m_pipelines.post([closing] { closing->close(); });
    }
    m_sources.clear();
    // Nothing of ours may still run on the pipeline threads once the engine is gone.
    m_teardowns.drain();
    m_pipelines.drain();
}

void WarmPlayerEngine::play(const PlayTarget &target) {
    noteStep(target.address);
    stopActive();
    m_coldRetried = false;
    ++m_generation;
    m_target = target;
    m_shown = false;
    const auto found = m_sources.find(target.address);
    const std::shared_ptr<WarmSource> source =
        found != m_sources.end() && canHandOver(target) ? found->second : nullptr;
    const bool ready = source && source->isReady(m_timing.maxSilenceMs);
    if (ready)
        showKeyFramePicture(source);
    if (stepping() && canHandOver(target)) {
        // A held key steps on before a decoder or a session started now would show anything: the
        // channel is tuned once the key stays on it, its warm session kept meanwhile.
        m_lastHandedOver = ready;
        m_heldSource = source;
        m_heldTune.start(m_timing.heldTuneDelayMs);
        return;
    }
    if (ready)
        startHandover(source);
    else
        startCold();
}

void WarmPlayerEngine::stop() {
    stopActive();
    ++m_generation;
    m_target.reset();
    m_shown = false;
}

void WarmPlayerEngine::setVolume(int volume) {
    m_volume = volume;
    m_cold->setVolume(volume);
    if (std::shared_ptr<HandoverPipeline> handover = m_handover) {
        const double level = volume / 100.0;
        m_pipelines.post([handover, level] { handover->setVolume(level); });
    }
}

void WarmPlayerEngine::setPictureSize(QSize size) {
    m_pictureSize = size;
    m_keyFrames.setBound(size);
    m_cold->setPictureSize(size);
    if (std::shared_ptr<HandoverPipeline> handover = m_handover)
        m_pipelines.post([handover, size] { handover->setPictureBound(size); });
}

void WarmPlayerEngine::setNeighbours(const QStringList &addresses) {
    m_offered = addresses;
    reconcile();
}

void WarmPlayerEngine::noteStep(const QString &address) {
    const qsizetype offered = m_offered.indexOf(address);
    const int direction = offered < 0 ? 0 : offered % 2 == 0 ? 1 : -1;
    const qint64 now = m_clock.elapsed();
    const bool sameRun = direction != 0 && direction == m_direction && m_lastStepMs >= 0 &&
                         now - m_lastStepMs <= m_timing.steppingGapMs;
    m_stepsOneWay = direction == 0 ? 0 : sameRun ? m_stepsOneWay + 1 : 1;
    m_direction = direction;
    m_lastStepMs = direction == 0 ? -1 : now;
    // The channels a held key went through, newest first: a key held too long is often followed
    // by a step or a held key back over them.
    if (m_stepsOneWay >= 2) {
        m_passed.removeAll(address);
        m_passed.prepend(address);
        m_passed = m_passed.mid(0, kPassedKept + 1);
    } else if (direction == 0) {
        m_passed.clear();
    }
}

bool WarmPlayerEngine::movingOneWay() const {
    return m_stepsOneWay >= 1 && m_clock.elapsed() - m_lastStepMs <= m_timing.steppingGapMs;
}

bool WarmPlayerEngine::stepping() const {
    return m_stepsOneWay >= 2 && m_clock.elapsed() - m_lastStepMs <= m_timing.steppingGapMs;
}

bool WarmPlayerEngine::boxRefusedLately() const {
    return m_refusedUntilMs > m_clock.elapsed();
}

QStringList WarmPlayerEngine::chooseWanted() const {
    QStringList after, before;
    for (qsizetype i = 0; i < m_offered.size(); ++i) {
        if (!m_offered[i].isEmpty())
            (i % 2 == 0 ? after : before).append(m_offered[i]);
    }
    // A box that refused a session is asked for no more than the nearest two. A step may be the
    // first of a held key: the next repeats find the channels ahead warmer the sooner they open.
    const int reach = boxRefusedLately() ? 1
                      : stepping()       ? kAheadWhileStepping
                      : movingOneWay()   ? kAheadAfterOneStep
                                         : 1;
    QStringList wanted = after.mid(0, 1) + before.mid(0, 1);
    if (reach > 1)
        wanted += (m_direction > 0 ? after : before).mid(1, reach - 1);
    if (!boxRefusedLately() && m_lastStepMs >= 0 &&
        m_clock.elapsed() - m_lastStepMs <= m_timing.keepPassedMs) {
        for (const QString &address : m_passed) {
            if (!wanted.contains(address) && (!m_target || address != m_target->address))
                wanted.append(address);
        }
    }
    return wanted;
}

bool WarmPlayerEngine::canHandOver(const PlayTarget &target) const {
    // Warm sessions are opened with the player's own settings: a target asking for others is played cold.
    return !target.options.sout && !target.options.rtspTcp && !target.options.networkCachingMs;
}

void WarmPlayerEngine::stopActive() {
    m_handoverGrace.stop();
    m_heldTune.stop();
    m_heldSource.reset();
    m_handoverFramesSeen = false;
    if (m_coldActive) {
        m_cold->stop();
        m_coldActive = false;
    }
    if (std::shared_ptr<HandoverPipeline> handover = std::move(m_handover)) {
        // The source stays open and keeps its ring: stepping back to it is warm at once.
        m_teardowns.post([handover] { handover->teardown(); });
    }
}

void WarmPlayerEngine::showKeyFramePicture(const std::shared_ptr<WarmSource> &source) {
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
            if (generation != m_generation || m_handoverFramesSeen)
                return;
            onFirstPicture();
            emit frameReady(picture.image, picture.pixelAspectRatio);
        },
        Qt::QueuedConnection);
}

void WarmPlayerEngine::onHeldTuneDue() {
    const std::shared_ptr<WarmSource> source = std::move(m_heldSource);
    if (!m_target)
        return;
    if (source && source->isReady(m_timing.maxSilenceMs))
        startHandover(source);
    else
        startCold();
}

void WarmPlayerEngine::startHandover(const std::shared_ptr<WarmSource> &source) {
    qCDebug(lcPlayer) << "handing over warm" << source->address();
    m_lastHandedOver = true;
    m_handoverFramesSeen = false;
    const quint64 generation = m_generation;
    HandoverPipeline::Events events;
    events.pictureWaiting = [this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { takeHandoverPicture(generation); }, Qt::QueuedConnection);
    };
    events.ended = [this, generation](bool error) {
        QMetaObject::invokeMethod(
            this, [this, generation, error] { onHandoverEnded(generation, error); }, Qt::QueuedConnection);
    };
    auto handover = std::make_shared<HandoverPipeline>(source, m_target->options, std::move(events));
    m_handover = handover;
    m_handoverGrace.start(m_timing.handoverGraceMs);
    const double volume = m_volume / 100.0;
    const QSize bound = m_pictureSize;
    m_pipelines.post([handover, volume, bound] { handover->start(volume, bound); });
}

void WarmPlayerEngine::startCold() {
    m_lastHandedOver = false;
    m_coldActive = true;
    ++m_sessionsRequested;
    // A box that limits sessions gives the watched channel one of the warm ones; otherwise the warm
    // sessions still wanted stay (the list's next call closes the others), all but the target's own.
    const bool closed = boxRefusedLately() ? closeIdleSources() : closeSource(m_target->address, false);
    if (!closed) {
        m_cold->play(*m_target);
        return;
    }
    playColdAfterCloses();
}

void WarmPlayerEngine::playColdAfterCloses() {
    // A box that limits sessions must have seen the warm ones close before this one's SETUP: the
    // close runs on the pipeline thread, so the cold play waits for it there.
    const quint64 generation = m_generation;
    m_pipelines.post([this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_generation && m_coldActive)
                    m_cold->play(*m_target);
            },
            Qt::QueuedConnection);
    });
}

void WarmPlayerEngine::fallBackToCold() {
    if ((!m_handover && !m_heldSource) || !m_target)
        return;
    const QString address = activeSourceAddress();
    qCDebug(lcPlayer) << "warm" << address << "showed nothing: tuning it cold";
    stopActive();
    closeSource(address, true);
    startCold();
}

void WarmPlayerEngine::takeHandoverPicture(quint64 generation) {
    if (generation != m_generation || !m_handover)
        return;
    const PictureSink::Picture picture = m_handover->takePicture();
    if (picture.image.isNull())
        return;
    m_handoverGrace.stop();
    m_handoverFramesSeen = true;
    onFirstPicture();
    emit frameReady(picture.image, picture.pixelAspectRatio);
}

void WarmPlayerEngine::onHandoverEnded(quint64 generation, bool error) {
    if (generation != m_generation || !m_handover)
        return;
    if (!m_handoverFramesSeen) {
        // Nothing was shown yet: the user never sees this neighbour's trouble, only a cold tune.
        fallBackToCold();
        return;
    }
    const QString address = m_handover->source()->address();
    stopActive();
    closeSource(address, true);
    if (error)
        emit failed(PlayerFailure::StreamInterrupted, QString());
    else
        emit endOfStream();
}

void WarmPlayerEngine::onFirstPicture() {
    if (m_shown)
        return;
    m_shown = true;
    reconcile();
}

void WarmPlayerEngine::reconcile() {
    m_wanted = chooseWanted();
    const QString active = activeSourceAddress();
    QStringList unwanted;
    for (const auto &[address, source] : m_sources) {
        if (address != active && !m_wanted.contains(address))
            unwanted.append(address);
    }
    for (const QString &address : unwanted)
        closeSource(address, false);
    // Nothing is warmed before the watched channel shows, start-up and cold tunes pay nothing; but
    // a held key steps on before anything shows: the channels ahead warm meanwhile, from the first
    // step if that one was handed over and so costs no session of its own.
    const bool aheadOfPicture = stepping() || (movingOneWay() && m_lastHandedOver);
    if (m_shown || (aheadOfPicture && !boxRefusedLately())) {
        for (const QString &address : m_wanted) {
            if (m_target && address == m_target->address)
                continue;
            if (m_sources.find(address) == m_sources.end() && !coolingDown(address))
                openSource(address);
        }
    }
    if (m_sources.empty() && m_retryAtMs.isEmpty())
        m_inspection.stop();
    else if (!m_inspection.isActive())
        m_inspection.start();
}

void WarmPlayerEngine::inspectSources() {
    const qint64 now = m_clock.elapsed();
    for (auto it = m_retryAtMs.begin(); it != m_retryAtMs.end();)
        it = it.value() <= now ? m_retryAtMs.erase(it) : std::next(it);
    const QString active = activeSourceAddress();
    QStringList stalled;
    for (const auto &[address, source] : m_sources) {
        if (address == active)
            continue;
        const bool openLongEnough = now - m_openedAtMs.value(address) > m_timing.stallMs;
        if (source->hasFailed())
            noteRefusal();
        if (source->hasFailed() || (openLongEnough && source->isSilentFor(m_timing.stallMs)))
            stalled.append(address);
    }
    for (const QString &address : stalled)
        closeSource(address, true);
    reconcile();
}

void WarmPlayerEngine::openSource(const QString &address) {
    auto source = std::make_shared<WarmSource>(address, kWarmLatencyMs);
    std::weak_ptr<WarmSource> weak = source;
    source->setKeyFrameHandler([this, weak] { m_keyFrames.request(weak); });
    source->setFailureHandler([this, weak] {
        QMetaObject::invokeMethod(
            this, [this, weak] { onSourceFailed(weak); }, Qt::QueuedConnection);
    });
    m_sources[address] = source;
    m_openedAtMs[address] = m_clock.elapsed();
    ++m_sessionsRequested;
    qCDebug(lcPlayer) << "warming" << address;
    m_pipelines.post([source] { source->open(); });
}

bool WarmPlayerEngine::closeSource(const QString &address, bool failed) {
    const auto found = m_sources.find(address);
    if (failed) {
        qCDebug(lcPlayer) << "warm" << address << "refused, stalled or failed: left alone for"
                          << m_timing.retryAfterMs << "ms";
        m_retryAtMs[address] = m_clock.elapsed() + m_timing.retryAfterMs;
    }
    if (found == m_sources.end())
        return false;
    std::shared_ptr<WarmSource> source = std::move(found->second);
    m_sources.erase(found);
    m_openedAtMs.remove(address);
    m_pipelines.post([source] { source->close(); });
    return true;
}

bool WarmPlayerEngine::closeIdleSources() {
    const QString active = activeSourceAddress();
    QStringList idle;
    for (const auto &[address, source] : m_sources) {
        if (address != active)
            idle.append(address);
    }
    bool closed = false;
    for (const QString &address : idle)
        closed = closeSource(address, false) || closed;
    return closed;
}

void WarmPlayerEngine::onSourceFailed(const std::weak_ptr<WarmSource> &weak) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (!source)
        return;
    const auto found = m_sources.find(source->address());
    if (found == m_sources.end() || found->second != source)
        return;
    if (m_heldSource == source) {
        // Its key frame may be on screen, but nothing more of a broken session will be.
        fallBackToCold();
        return;
    }
    if (m_handover && m_handover->source() == source) {
        // The session under the watched channel broke: as the cold path would say, unless nothing
        // was shown yet, when the user only sees a cold tune.
        onHandoverEnded(m_generation, true);
        return;
    }
    noteRefusal();
    closeSource(source->address(), true);
}

void WarmPlayerEngine::noteRefusal() {
    // A session the box would not give (or broke): taken for a box at its limit of sessions, so
    // warmth keeps to the nearest two for a while. A neighbour that only went silent says nothing
    // of the box's limit.
    m_refusedUntilMs = m_clock.elapsed() + m_timing.retryAfterMs;
}

bool WarmPlayerEngine::coolingDown(const QString &address) const {
    const auto found = m_retryAtMs.constFind(address);
    return found != m_retryAtMs.constEnd() && found.value() > m_clock.elapsed();
}

QString WarmPlayerEngine::activeSourceAddress() const {
    if (m_handover)
        return m_handover->source()->address();
    return m_heldSource ? m_heldSource->address() : QString();
}

QStringList WarmPlayerEngine::warmAddresses() const {
    QStringList ready;
    const QString active = activeSourceAddress();
    for (const auto &[address, source] : m_sources) {
        if (address != active && source->isReady(m_timing.maxSilenceMs))
            ready.append(address);
    }
    return ready;
}

qsizetype WarmPlayerEngine::bytesHeld() const {
    qsizetype total = 0;
    for (const auto &[address, source] : m_sources)
        total += source->bytesHeld();
    return total;
}

qint64 WarmPlayerEngine::bytesReceivedByNeighbours() const {
    qint64 total = 0;
    const QString active = activeSourceAddress();
    for (const auto &[address, source] : m_sources) {
        if (address != active)
            total += source->bytesReceived();
    }
    return total;
}

QStringList WarmPlayerEngine::picturedAddresses() const {
    QStringList pictured;
    for (const auto &[address, source] : m_sources) {
        if (source->isReady(m_timing.maxSilenceMs) &&
            !source->keyFramePicture(m_timing.maxSilenceMs).image.isNull())
            pictured.append(address);
    }
    return pictured;
}

qsizetype WarmPlayerEngine::pictureBytesHeld() const {
    qsizetype total = 0;
    for (const auto &[address, source] : m_sources)
        total += source->keyFramePicture(m_timing.maxSilenceMs).image.sizeInBytes();
    return total;
}
