#include "player/ShiftIndicator.h"

#include <algorithm>

void ShiftIndicator::moved(qint64 nowMs) {
    m_last = Last::Moved;
    m_untilMs = nowMs + kMovedMs;
}

void ShiftIndicator::wentLive(qint64 nowMs) {
    m_last = Last::Live;
    m_untilMs = nowMs + kLiveMs;
}

void ShiftIndicator::unavailable(const QString &why, qint64 nowMs) {
    m_last = Last::Unavailable;
    m_untilMs = nowMs + kUnavailableMs;
    m_why = why;
}

ShiftIndicator::Shown ShiftIndicator::shown(const ShiftControl::Position &position, qint64 nowMs) const {
    const bool recent = nowMs < m_untilMs;
    if (recent && m_last == Last::Unavailable)
        return {QStringLiteral("Pause du direct indisponible : ") + m_why, -1.0};
    const double fraction =
        position.keptMs > 0
            ? std::clamp(double(position.keptMs - position.behindMs) / double(position.keptMs), 0.0, 1.0)
            : -1.0;
    if (position.paused)
        return {QStringLiteral("Pause ") + behindText(position.behindMs), fraction};
    if (recent && m_last == Last::Moved && position.behindMs > 0)
        return {QStringLiteral("Différé ") + behindText(position.behindMs), fraction};
    if (recent && m_last == Last::Live && position.behindMs == 0)
        return {QStringLiteral("Direct"), -1.0};
    return {};
}

qint64 ShiftIndicator::nextChangeMs(const ShiftControl::Position &position, qint64 nowMs) const {
    const qint64 ends = nowMs < m_untilMs ? m_untilMs : -1;
    // A time behind live is on screen: it counts on, with no end while paused.
    if (!shown(position, nowMs).text.contains(QChar(0x2212)))
        return ends;
    return ends < 0 ? nowMs + kRefreshMs : std::min(ends, nowMs + kRefreshMs);
}

QString ShiftIndicator::behindText(qint64 behindMs) {
    const qint64 seconds = std::max<qint64>(0, behindMs) / 1000;
    const auto two = [](qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    const QString minus(QChar(0x2212));
    if (seconds >= 3600)
        return minus + QString::number(seconds / 3600) + QLatin1Char(':') + two(seconds / 60 % 60) +
               QLatin1Char(':') + two(seconds % 60);
    return minus + two(seconds / 60) + QLatin1Char(':') + two(seconds % 60);
}
