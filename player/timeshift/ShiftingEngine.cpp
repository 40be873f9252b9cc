#include "player/timeshift/ShiftingEngine.h"

#include "player/PlayerLog.h"
#include "player/engine/CallbackGate.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/timeshift/ReplayReader.h"
#include "player/timeshift/ShiftFeed.h"
#include "player/timeshift/ShiftStore.h"
#include "player/timeshift/TrackMatch.h"

#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace {

constexpr qint64 kNsPerMs = 1'000'000;
// Nothing received for this long: the live stream fell silent (the box keeps sending otherwise).
constexpr qint64 kSilentNs = 1'000'000'000;

// Only a stream received from the network is worth keeping: a file can be read again.
bool isReceived(const PlayTarget &target) {
    const QString scheme = QUrl(target.address).scheme().toLower();
    return scheme.size() > 1 && scheme != QLatin1String("file");
}

} // namespace

// The commands of the keys and of the desktop, on the engine.
class ShiftingEngine::Control : public ShiftControl {
public:
    explicit Control(ShiftingEngine &engine) : m_engine(engine) {}

    Position position() const override { return m_engine.position(); }
    void togglePause() override { m_engine.togglePause(); }
    void pause() override { m_engine.pause(); }
    void resume() override { m_engine.resume(); }
    void seekBy(qint64 deltaMs) override { m_engine.seekBy(deltaMs); }
    void seekTo(qint64 fromOldestMs) override { m_engine.seekTo(fromOldestMs); }
    void toOldest() override { m_engine.seekTo(0); }
    void toLive() override { m_engine.toLive(); }

private:
    ShiftingEngine &m_engine;
};

ShiftingEngine::StoreOpener ShiftingEngine::cacheStore() {
    return [](QString *why) -> std::shared_ptr<ShiftStore> {
        return ShiftStore::open(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                                ShiftStore::Limits(), why);
    };
}

ShiftingEngine::ShiftingEngine(std::unique_ptr<PlayerEngine> live, StoreOpener openStore, QObject *parent)
    : PlayerEngine(parent), m_live(std::move(live)), m_control(std::make_unique<Control>(*this)),
      m_gate(std::make_shared<CallbackGate>(this)), m_openStore(std::move(openStore)) {
    m_endCheck.setSingleShot(true);
    connect(&m_endCheck, &QTimer::timeout, this, &ShiftingEngine::checkEnd);
    connect(m_live.get(), &PlayerEngine::frameReady, this, [this](const QImage &frame, qreal aspect) {
        if (m_position.isLive())
            emit frameReady(frame, aspect);
    });
    connect(m_live.get(), &PlayerEngine::stillReady, this, [this](const QImage &frame, qreal aspect) {
        if (m_position.isLive())
            emit stillReady(frame, aspect);
    });
    connect(m_live.get(), &PlayerEngine::restarted, this, [this] {
        if (m_position.isLive())
            emit restarted();
    });
    connect(m_live.get(), &PlayerEngine::failed, this, &ShiftingEngine::onLiveFailed);
    connect(m_live.get(), &PlayerEngine::endOfStream, this, &ShiftingEngine::onLiveEnded);
    connect(m_live.get(), &PlayerEngine::soundOnly, this, &PlayerEngine::soundOnly);
    connect(m_live.get(), &PlayerEngine::streamsFound, this, [this](const QList<StreamTrack> &tracks) {
        m_liveTracks = tracks;
        emit streamsFound(tracks);
    });
}

// Made at the first move behind live: a program that never pauses pays nothing for it.
GstPlayerEngine &ShiftingEngine::replay() {
    if (m_replay)
        return *m_replay;
    m_replay = std::make_unique<GstPlayerEngine>([this](const PlayTarget &) -> std::unique_ptr<PlaybackInput> {
        return std::make_unique<ReplayInput>(m_nextReader, m_nextStart);
    });
    // The subtitles chosen live are drawn behind live too.
    connect(m_replay.get(), &PlayerEngine::streamsFound, this, [this](const QList<StreamTrack> &tracks) {
        m_replayTracks = tracks;
        if (m_chosen)
            m_replay->selectTracks(TrackMatch::sameTrack(m_liveTracks, m_chosen->first, tracks),
                                   TrackMatch::sameTrack(m_liveTracks, m_chosen->second, tracks));
    });
    connect(m_replay.get(), &PlayerEngine::frameReady, this, [this](const QImage &frame, qreal aspect) {
        if (!m_position.isLive())
            emit frameReady(frame, aspect);
    });
    connect(m_replay.get(), &PlayerEngine::failed, this,
            [this](PlayerFailure, const QString &detail) { onReplayFailed(detail); });
    connect(m_replay.get(), &PlayerEngine::endOfStream, this, [this] { onReplayFailed(QString()); });
    return *m_replay;
}

ShiftingEngine::~ShiftingEngine() {
    m_gate->close();
    if (m_replay)
        m_replay->stop();
    if (m_feed)
        m_feed->stop();
}

ShiftControl *ShiftingEngine::shiftControl() {
    return m_control.get();
}

void ShiftingEngine::play(const PlayTarget &target) {
    dropShift();
    m_liveTracks.clear();
    m_chosen.reset();
    m_target = target;
    if (isReceived(target) && !m_store && m_storeFault.isEmpty()) {
        m_store = m_openStore(&m_storeFault);
        if (m_store)
            m_feed = std::make_shared<ShiftFeed>(m_store);
        else
            qCInfo(lcPlayer).noquote() << "timeshift: nothing can be kept:" << m_storeFault;
    }
    if (m_feed && isReceived(target))
        setStreamTap(m_feed->restart());
    else if (m_feed) {
        m_feed->stop();
        setStreamTap({});
    }
    m_live->setStreamTap(streamTap());
    m_live->play(target);
    emit m_control->changed();
}

void ShiftingEngine::stop() {
    dropShift();
    m_target.reset();
    if (m_feed)
        m_feed->stop();
    m_live->stop();
}

void ShiftingEngine::stopForRetry() {
    dropShift();
    m_live->stopForRetry();
}

// A recording takes the box: nothing plays here until the next play, so nothing is kept.
void ShiftingEngine::lendBox(const QString &address, std::function<void()> lent) {
    dropShift();
    m_target.reset();
    if (m_feed)
        m_feed->stop();
    m_live->lendBox(address, std::move(lent));
}

void ShiftingEngine::setSettings(const PipelineSettings &settings) {
    PlayerEngine::setSettings(settings);
    applyLiveSettings();
    if (m_replay)
        m_replay->setSettings(replaySettings());
}

void ShiftingEngine::selectTracks(const QString &soundId, const QString &subtitlesId) {
    m_chosen = std::pair{soundId, subtitlesId};
    m_live->selectTracks(soundId, subtitlesId);
    if (!m_replay)
        return;
    m_replay->setSettings(replaySettings());
    if (m_replaying)
        m_replay->selectTracks(TrackMatch::sameTrack(m_liveTracks, soundId, m_replayTracks),
                               TrackMatch::sameTrack(m_liveTracks, subtitlesId, m_replayTracks));
}

PipelineSettings ShiftingEngine::replaySettings() const {
    PipelineSettings replay = settings();
    if (!m_chosen)
        return replay;
    replay.tracks = [live = m_liveTracks, chosen = *m_chosen](const QList<StreamTrack> &tracks) {
        return std::pair{TrackMatch::sameTrack(live, chosen.first, tracks),
                         TrackMatch::sameTrack(live, chosen.second, tracks)};
    };
    return replay;
}

// Behind live the live stream goes on unheard; its volume stays for when it is heard again.
void ShiftingEngine::applyLiveSettings() {
    PipelineSettings live = settings();
    live.muted = live.muted || !m_position.isLive();
    m_live->setSettings(live);
}

qint64 ShiftingEngine::oldestNs() const {
    return m_store && m_store->hasStartPoint() ? m_store->oldestNs() : StreamArrival::nowNs();
}

ShiftControl::Position ShiftingEngine::position() const {
    ShiftControl::Position position;
    position.paused = m_position.isPaused();
    if (!m_store || !m_target || !m_store->hasStartPoint())
        return position;
    const qint64 now = StreamArrival::nowNs();
    const qint64 oldest = m_store->oldestNs();
    position.keptMs = std::max<qint64>(0, now - ShiftPosition::kLiveDelayNs - oldest) / kNsPerMs;
    position.behindMs = m_position.behindNs(now, oldest) / kNsPerMs;
    return position;
}

QString ShiftingEngine::unavailableWhy() const {
    if (!m_store)
        return m_storeFault.isEmpty() ? QStringLiteral("aucune chaîne en cours") : m_storeFault;
    if (!m_store->fault().isEmpty())
        return m_store->fault();
    if (!m_target)
        return QStringLiteral("aucune chaîne en cours");
    if (!isReceived(*m_target))
        return QStringLiteral("lecture d'un fichier");
    return QString();
}

void ShiftingEngine::togglePause() {
    if (m_position.isPaused())
        resume();
    else
        pause();
}

void ShiftingEngine::pause() {
    if (m_position.isPaused())
        return;
    if (const QString why = unavailableWhy(); !why.isEmpty()) {
        emit m_control->unavailable(why);
        return;
    }
    const qint64 now = StreamArrival::nowNs();
    if (m_replaying)
        m_replay->setPaused(true);
    m_position.pause(now);
    applyLiveSettings();
    setHeld(true);
    emit m_control->changed();
}

void ShiftingEngine::resume() {
    if (!m_position.isPaused())
        return;
    const qint64 now = StreamArrival::nowNs();
    const qint64 from = m_position.resumePoint(oldestNs());
    if (m_replaying && from == m_position.shownAt(now)) {
        m_replay->setPaused(false);
        m_position.resume(now);
    } else if (!startReplay(from, false)) {
        toLive();
        return;
    }
    setHeld(false);
    emit m_control->changed();
}

void ShiftingEngine::seekBy(qint64 deltaMs) {
    if (const QString why = unavailableWhy(); !why.isEmpty()) {
        emit m_control->unavailable(why);
        return;
    }
    if (m_position.isLive() && deltaMs >= 0)
        return;
    const qint64 now = StreamArrival::nowNs();
    const qint64 target = m_position.target(now, deltaMs * kNsPerMs, oldestNs());
    if (target < 0)
        toLive();
    else
        moveTo(target);
}

void ShiftingEngine::seekTo(qint64 fromOldestMs) {
    if (const QString why = unavailableWhy(); !why.isEmpty()) {
        emit m_control->unavailable(why);
        return;
    }
    const qint64 now = StreamArrival::nowNs();
    const qint64 target = oldestNs() + std::max<qint64>(0, fromOldestMs) * kNsPerMs;
    if (target >= now - ShiftPosition::kLiveDelayNs - ShiftPosition::kLiveMarginNs)
        toLive();
    else
        moveTo(target);
}

void ShiftingEngine::moveTo(qint64 targetNs) {
    if (!startReplay(targetNs, m_position.isPaused()))
        return;
    setHeld(m_position.isPaused());
    emit m_control->changed();
}

bool ShiftingEngine::startReplay(qint64 fromNs, bool paused) {
    const std::optional<ShiftStore::Point> point = m_store ? m_store->startAtOrBefore(fromNs) : std::nullopt;
    if (!point || !m_target)
        return false;
    const quint64 number = ++m_replayNumber;
    const std::weak_ptr<CallbackGate> gate = m_gate;
    ReplayReader::Events events;
    events.caughtUp = [this, gate, number] {
        if (auto open = gate.lock())
            open->post([this, number] { onCaughtUp(number); });
    };
    events.overtaken = [this, gate, number] {
        if (auto open = gate.lock())
            open->post([this, number] { onOvertaken(number); });
    };
    m_nextReader = std::make_shared<ReplayReader>(m_store, point->offset, std::move(events));
    m_nextStart = ReplayInput::Start{point->offset, point->arrivalNs, std::max(fromNs, point->arrivalNs), paused,
                                     m_store->hasPictures()};
    m_feed->setReader(m_nextReader);
    m_replayTracks.clear();
    replay().setSettings(replaySettings());
    qCDebug(lcPlayer) << "timeshift: playing from" << (StreamArrival::nowNs() - fromNs) / kNsPerMs
                      << "ms behind, from a start point" << (fromNs - point->arrivalNs) / kNsPerMs
                      << "ms earlier" << (paused ? "(held)" : "");
    replay().play(*m_target);
    m_nextReader.reset();
    m_replaying = true;
    m_position.playFrom(StreamArrival::nowNs(), std::max(fromNs, point->arrivalNs), paused);
    applyLiveSettings();
    return true;
}

void ShiftingEngine::stopReplay() {
    if (!m_replaying)
        return;
    m_endCheck.stop();
    ++m_replayNumber;
    m_replaying = false;
    if (m_feed)
        m_feed->setReader({});
    m_replay->stop();
}

void ShiftingEngine::dropShift() {
    const bool wasLive = m_position.isLive();
    stopReplay();
    m_liveFailure.reset();
    m_position.goLive();
    setHeld(false);
    if (!wasLive)
        applyLiveSettings();
}

void ShiftingEngine::toLive() {
    if (m_position.isLive())
        return;
    stopReplay();
    m_position.goLive();
    applyLiveSettings();
    setHeld(false);
    emit m_control->changed();
    emit m_control->wentLive();
    tellHeld();
}

void ShiftingEngine::setHeld(bool held) {
    if (held == m_held)
        return;
    m_held = held;
    emit this->held(held);
}

void ShiftingEngine::onLiveFailed(PlayerFailure failure, const QString &detail) {
    if (m_position.isLive()) {
        emit failed(failure, detail);
        return;
    }
    qCInfo(lcPlayer) << "timeshift: the live stream failed behind live; what is kept plays on";
    m_liveFailure = Held{false, failure, detail};
}

void ShiftingEngine::onLiveEnded() {
    if (m_position.isLive()) {
        emit endOfStream();
        return;
    }
    m_liveFailure = Held{true, PlayerFailure::StreamInterrupted, QString()};
}

void ShiftingEngine::tellHeld() {
    const std::optional<Held> held = std::exchange(m_liveFailure, std::nullopt);
    if (!held)
        return;
    if (held->ended)
        emit endOfStream();
    else
        emit failed(held->failure, held->detail);
}

// The reader is at the end of what is kept; what it read ahead plays out first.
void ShiftingEngine::onCaughtUp(quint64 replay) {
    if (replay != m_replayNumber || m_position.isPaused() || !m_store)
        return;
    const qint64 ahead = m_store->newestNs() - m_position.shownAt(StreamArrival::nowNs());
    m_endCheck.start(int(std::max<qint64>(0, ahead) / kNsPerMs) + 200);
}

// A live stream that failed is told now; one that fell silent goes live, where the supervisor's
// watch of the pictures finds it stopped, as it would have live.
void ShiftingEngine::checkEnd() {
    if (!m_replaying || m_position.isPaused() || !m_store)
        return;
    if (m_liveFailure) {
        qCInfo(lcPlayer) << "timeshift: what was kept has played; the live stream's failure is told";
        toLive();
    } else if (StreamArrival::nowNs() - m_store->newestNs() > kSilentNs) {
        qCInfo(lcPlayer) << "timeshift: what was kept has played and the live stream is silent";
        toLive();
    }
}

void ShiftingEngine::onOvertaken(quint64 replay) {
    if (replay != m_replayNumber)
        return;
    startReplay(oldestNs(), m_position.isPaused());
}

void ShiftingEngine::onReplayFailed(const QString &detail) {
    qCInfo(lcPlayer).noquote() << "timeshift: the replay failed:" << detail;
    toLive();
    emit m_control->unavailable(QStringLiteral("lecture du différé impossible"));
}
