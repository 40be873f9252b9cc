#pragma once

#include "player/StreamTrack.h"

#include <QList>
#include <QString>

// The same track in another reading of the same stream: the replay's demultiplexer names tracks
// otherwise than the live one does, so a track is found again by what it is (kind, language,
// format, marks) and its rank among the tracks alike.
namespace TrackMatch {

// The id in to of the track with id in from; empty when id is empty or nothing matches.
QString sameTrack(const QList<StreamTrack> &from, const QString &id, const QList<StreamTrack> &to);

} // namespace TrackMatch
