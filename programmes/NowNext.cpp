#include "programmes/NowNext.h"

#include <QDateTime>
#include <algorithm>

namespace {

// The first programme starting after at.
ChannelProgrammes::const_iterator firstAfter(const ChannelProgrammes &programmes, qint64 at) {
    return std::upper_bound(programmes.cbegin(), programmes.cend(), at,
                            [](qint64 t, const GuideProgramme &p) { return t < p.start; });
}

QString clockTime(qint64 secs) {
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("HH:mm"));
}

} // namespace

NowNext nowAndNext(const ChannelProgrammes &programmes, qint64 at) {
    NowNext result;
    const auto after = firstAfter(programmes, at);
    // Programmes are short next to a day: the one on now is among the few that started last.
    for (auto it = after; it != programmes.cbegin();) {
        --it;
        if (it->stop > at) {
            result.now = *it;
            break;
        }
        if (at - it->start > 7 * 24 * 3600)
            break;
    }
    const qint64 from = result.now ? result.now->stop : at;
    const auto next = result.now
                          ? std::lower_bound(programmes.cbegin(), programmes.cend(), from,
                                             [](const GuideProgramme &p, qint64 t) { return p.start < t; })
                          : after;
    if (next != programmes.cend())
        result.next = *next;
    if (result.now) {
        const qint64 length = result.now->stop - result.now->start;
        result.elapsed =
            length > 0 ? std::clamp(double(at - result.now->start) / double(length), 0.0, 1.0) : 0.0;
    }
    return result;
}

qint64 nextChangeAfter(const ChannelProgrammes &programmes, qint64 at) {
    const NowNext shown = nowAndNext(programmes, at);
    if (shown.now)
        return shown.now->stop;
    return shown.next ? shown.next->start : -1;
}

QString programmeTimes(const GuideProgramme &programme) {
    return clockTime(programme.start) + QChar(u'–') + clockTime(programme.stop);
}

QString programmeLine(const GuideProgramme &programme) {
    return programmeTimes(programme) + QStringLiteral("  ") + programme.title;
}
