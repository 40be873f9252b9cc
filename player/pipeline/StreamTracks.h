#pragma once

#include "player/StreamTrack.h"

typedef struct _GstElement GstElement;
typedef struct _GstStreamCollection GstStreamCollection;
typedef struct _GstTagList GstTagList;

// The sound and subtitle tracks of a stream, read from what GStreamer found of it.
namespace StreamTracks {

// As a demultiplexer lists them, in its order (the order of the stream's table).
QList<StreamTrack> fromCollection(GstStreamCollection *collection);
// As playbin numbers them, for a stream no demultiplexer listed (sent without one).
QList<StreamTrack> fromPlaybin(GstElement *playbin);
// Two letters where the language has them, whichever ISO 639 form the stream uses; empty when unsaid.
QString languageOf(const GstTagList *tags);
// For the log: "sound fr (MPEG-1 Audio), subtitles fr (DVB subtitles)".
QString describe(const QList<StreamTrack> &tracks);

} // namespace StreamTracks
