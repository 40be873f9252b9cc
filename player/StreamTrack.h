#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <functional>
#include <utility>

// A sound or subtitle track a stream carries, as the player found it: what a choice of sound
// track or of subtitles is made from.
struct StreamTrack {
    enum class Kind { Sound, Subtitles };

    Kind kind = Kind::Sound;
    // Two letters where the language has them ("fr"), else as the stream names it; empty when unsaid.
    QString language;
    // The format as the stream names it ("MPEG-1 Audio", "DVB subtitles"); empty when unsaid.
    QString format;
    // What tells the track apart in its stream (the demultiplexer's stream id, else its number).
    QString id;
    // A sound track describing the picture for blind and partially sighted viewers.
    bool audioDescription = false;
    // Subtitles for deaf and hard-of-hearing viewers (sounds and speakers named besides the words).
    bool hardOfHearing = false;

    bool operator==(const StreamTrack &) const = default;
};

// Which sound track and which subtitles (their ids; an empty one for none) to play among the tracks
// a stream carries. Called on GStreamer's threads.
using TrackChooser = std::function<std::pair<QString, QString>(const QList<StreamTrack> &)>;

Q_DECLARE_METATYPE(StreamTrack)
