#include "player/warm/NeighbourPolicy.h"

#include "player/PlayerLog.h"

#include <algorithm>

void NeighbourPolicy::noteStep(const QString &address, qint64 nowMs) {
    if (!m_watched.isEmpty() && address == m_watched) {
        m_shown = false;
        return;
    }
    const qsizetype offered = m_offered.indexOf(address);
    // Going back to the channel before from afar is no step one way: it never makes a held key.
    const bool farReturn = address == m_before && offered >= 2;
    const int direction = offered < 0 || farReturn ? 0 : offered % 2 == 0 ? 1 : -1;
    const bool sameRun = direction != 0 && direction == m_direction && m_lastStepMs >= 0 &&
                         nowMs - m_lastStepMs <= m_rules.steppingGapMs;
    m_stepsOneWay = direction == 0 ? 0 : sameRun ? m_stepsOneWay + 1 : 1;
    m_direction = direction;
    m_lastStepMs = nowMs;
    m_watched = address;
    if (m_left != address)
        m_before = m_left;
    m_left = address;
    m_shown = false;
}

void NeighbourPolicy::noteStopped() {
    // The step history stays: the channel list stops the old channel before each play.
    m_watched.clear();
    m_shown = false;
}

void NeighbourPolicy::noteRecovered() {
    for (auto it = m_coolDowns.begin(); it != m_coolDowns.end();)
        it = it.value().transient ? m_coolDowns.erase(it) : std::next(it);
}

bool NeighbourPolicy::keyHeld(qint64 nowMs) const {
    return m_stepsOneWay >= 2 && nowMs - m_lastStepMs <= m_rules.steppingGapMs;
}

QStringList NeighbourPolicy::wanted(qint64 nowMs) const {
    // A recording took the watched channel's place: what was warm around it on other boxes stays.
    const QString &around = !m_watched.isEmpty() ? m_watched : m_boxes.anyLent() ? m_left : m_watched;
    if (around.isEmpty() || nowMs - m_lastStepMs > m_rules.lapseMs)
        return {};
    QStringList after, before;
    for (qsizetype i = 0; i < m_offered.size(); ++i) {
        if (!m_offered[i].isEmpty() && m_offered[i] != around && !boxLent(m_offered[i]))
            (i % 2 == 0 ? after : before).append(m_offered[i]);
    }
    QStringList candidates;
    int count = m_rules.restingNeighbours;
    // A single press warms the rows next to the new channel only: what lies further ahead is
    // wanted once a second step in the same way shows the key is held.
    if (keyHeld(nowMs)) {
        // Ahead first, the channel just left next (a key held too long comes back one), then further ahead.
        const QStringList &ahead = m_direction > 0 ? after : before;
        const QStringList &behind = m_direction > 0 ? before : after;
        candidates = ahead.mid(0, 1) + behind.mid(0, 1) + ahead.mid(1);
        count = m_rules.steppingNeighbours;
    } else {
        candidates = after.mid(0, 1) + before.mid(0, 1);
        if (m_rules.returnNeighbours > 0 && !m_before.isEmpty() && m_before != around &&
            m_offered.contains(m_before) && !boxLent(m_before)) {
            candidates.append(m_before);
            count += m_rules.returnNeighbours;
        }
    }
    QStringList chosen;
    QHash<QString, int> chosenOnBox;
    for (const QString &address : candidates) {
        if (chosen.size() >= count)
            break;
        if (coolingDown(address, nowMs) || chosen.contains(address))
            continue;
        // Never more on one box than it was seen to accept; another box's room is its own.
        int &onBox = chosenOnBox[Boxes::keyOf(address)];
        if (const std::optional<int> limit = warmLimit(address, nowMs); limit && onBox >= *limit)
            continue;
        ++onBox;
        chosen.append(address);
    }
    return chosen;
}

bool NeighbourPolicy::mayOpen(qint64 nowMs) const {
    // Nothing is warmed before the watched channel shows, so a tune never shares the box's first
    // seconds; but a held key steps on before anything shows, and the channels ahead are its next steps.
    return m_shown || keyHeld(nowMs);
}

std::optional<int> NeighbourPolicy::sessionLimit(const QString &address, qint64 nowMs) const {
    return m_boxes.known(address).sessionLimit(nowMs, m_rules.limitMemoryMs);
}

std::optional<int> NeighbourPolicy::room(const QString &address, const Box::Sessions &sessions,
                                         qint64 nowMs) const {
    return m_boxes.known(address).room(sessions, nowMs, m_rules.limitMemoryMs);
}

std::optional<int> NeighbourPolicy::warmLimit(const QString &address, qint64 nowMs) const {
    const std::optional<int> limit = sessionLimit(address, nowMs);
    if (!limit)
        return std::nullopt;
    // On the watched channel's box, the watched channel takes one of the sessions it gives.
    const bool watchedHere = !m_watched.isEmpty() && Boxes::sameBox(address, m_watched);
    return std::max(0, *limit - (watchedHere ? 1 : 0));
}

bool NeighbourPolicy::coolingDown(const QString &address, qint64 nowMs) const {
    const auto found = m_coolDowns.constFind(address);
    return found != m_coolDowns.constEnd() && found.value().untilMs > nowMs;
}

bool NeighbourPolicy::anyCoolingDown(qint64 nowMs) const {
    return std::any_of(m_coolDowns.cbegin(), m_coolDowns.cend(),
                       [nowMs](const CoolDown &coolDown) { return coolDown.untilMs > nowMs; });
}

bool NeighbourPolicy::overdue(qint64 openedMs, qint64 firstPacketMs, qint64 nowMs) const {
    return nowMs - (firstPacketMs >= 0 ? firstPacketMs : openedMs) > m_rules.readyWithinMs;
}

void NeighbourPolicy::noteFailure(const QString &address, WarmFailure failure, BoxLoad load, qint64 nowMs) {
    // A SETUP turned down while warm sessions are open is taken for the box's limit, whatever its
    // status says: the box may not say why it has no session to spare.
    const bool boxFull =
        failure == WarmFailure::Refused || (failure == WarmFailure::SetupRefused && load.warm > 0);
    if (boxFull)
        learnLimit(address, load.sessions, nowMs);
    const bool transient = boxFull || failure == WarmFailure::Broken;
    coolDown(address, transient ? m_rules.brokenCoolMs : m_rules.unwarmableCoolMs, transient, nowMs);
    qCInfo(lcPlayer) << "warm" << address << WarmFailures::name(failure) << "with" << load.sessions
                     << "sessions open: left alone for" << (m_coolDowns.value(address).untilMs - nowMs)
                     << "ms";
}

void NeighbourPolicy::noteEnded(const QString &address, qint64 openedMs, qint64 nowMs) {
    if (openedMs >= 0 && nowMs - openedMs < m_rules.endedSoonMs) {
        // Ended again as soon as it opened: reopening it at once would only be ended once more.
        coolDown(address, m_rules.brokenCoolMs, true, nowMs);
        qCInfo(lcPlayer) << "warm" << address << "ended by the server" << (nowMs - openedMs)
                         << "ms after it opened: left alone for" << m_rules.brokenCoolMs << "ms";
        return;
    }
    m_coolDowns.remove(address);
    qCInfo(lcPlayer) << "warm" << address << "ended by the server: reopened at once";
}

void NeighbourPolicy::noteWatchedRefused(const QString &address, BoxLoad load, qint64 nowMs) {
    learnLimit(address, load.sessions, nowMs);
}

void NeighbourPolicy::coolDown(const QString &address, qint64 forMs, bool transient, qint64 nowMs) {
    for (auto it = m_coolDowns.begin(); it != m_coolDowns.end();)
        it = it.value().untilMs <= nowMs ? m_coolDowns.erase(it) : std::next(it);
    m_coolDowns[address] = {nowMs + forMs, transient};
}

void NeighbourPolicy::learnLimit(const QString &address, int sessions, qint64 nowMs) {
    Box &box = m_boxes.of(address);
    box.learnLimit(sessions, nowMs, m_rules.limitMemoryMs);
    qCDebug(lcPlayer) << "the box" << Boxes::keyOf(address) << "gives at most"
                      << *box.sessionLimit(nowMs, m_rules.limitMemoryMs) << "sessions at once";
}
