#include "player/timeshift/TrackMatch.h"

#include <algorithm>

namespace {

bool alike(const StreamTrack &a, const StreamTrack &b) {
    return a.kind == b.kind && a.language == b.language && a.format == b.format &&
           a.audioDescription == b.audioDescription && a.hardOfHearing == b.hardOfHearing;
}

} // namespace

QString TrackMatch::sameTrack(const QList<StreamTrack> &from, const QString &id, const QList<StreamTrack> &to) {
    if (id.isEmpty())
        return QString();
    const auto found = std::find_if(from.cbegin(), from.cend(), [&](const StreamTrack &t) { return t.id == id; });
    if (found == from.cend())
        return QString();
    const auto rank = std::count_if(from.cbegin(), found, [&](const StreamTrack &t) { return alike(t, *found); });
    qsizetype seen = 0;
    for (const StreamTrack &track : to) {
        if (alike(track, *found) && seen++ == rank)
            return track.id;
    }
    return QString();
}
