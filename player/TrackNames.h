#pragma once

#include "player/StreamTrack.h"

#include <QList>
#include <QString>

// How the menus name a stream's sound and subtitle tracks, in French.
namespace TrackNames {

// "Français" for "fr" (or "fre", "fra"), empty for a language not in the table or unsaid.
QString languageName(const QString &code);
// Marked as audio description, or named so by its language code ("qad", as some broadcasters do).
bool isAudioDescription(const StreamTrack &track);
// One name per track of tracks, in order: by language, "Audiodescription" for audio description,
// "Piste N" (its place among tracks) when nothing says; " (malentendants)" after hard-of-hearing
// subtitles. Two tracks that would read alike are told apart by their place.
QStringList labels(const QList<StreamTrack> &tracks);

} // namespace TrackNames
