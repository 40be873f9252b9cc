#pragma once

#include "player/StreamTrack.h"

#include <QHash>
#include <optional>

typedef struct _GstMessage GstMessage;

// What a transport stream's programme table says of each of its tracks beyond their language: a
// sound track describing the picture, subtitles for the hard of hearing. The demultiplexer posts
// each table it reads as an element message; tracks are then matched by their packet id, the end
// of the demultiplexer's stream id.
namespace TrackMarks {

struct Marks {
    bool audioDescription = false;
    bool hardOfHearing = false;
};
using ByPid = QHash<int, Marks>;

// The marks of a programme table's streams, or nothing for any other message.
std::optional<ByPid> fromMessage(GstMessage *message);
// Each track whose stream id ends in a packet id the table marked gets its marks.
void apply(const ByPid &marks, QList<StreamTrack> *tracks);

} // namespace TrackMarks
