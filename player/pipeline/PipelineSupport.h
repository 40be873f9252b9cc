#pragma once

#include "player/PlayerOptions.h"
#include "player/StreamTrack.h"
#include "player/pipeline/PictureSink.h"
#include "player/engine/PipelineSettings.h"

#include <QSize>
#include <gst/gst.h>

// Steps every player pipeline takes alike, whether it plays the box's address or a warm source.
namespace PipelineSupport {

// A playbin for uri at the settings' level, decoding only what options ask for: the first sound
// track, no subtitles or teletext, pictures unconverted to pictures' own sink (which deinterlaces and
// scales as the settings say). The callbacks get owner when playbin sets up its source and each element.
GstElement *makePlaybin(const char *uri, const PlayerOptions &options, const PipelineSettings &settings,
                        PictureSink &pictures, GCallback onSourceSetup, GCallback onElementSetup,
                        gpointer owner);

// What playbin decodes and shows: the first sound track, subtitles drawn onto the picture only when
// asked for, pictures unconverted to pictures' own sink.
void setFlags(GstElement *playbin, const PlayerOptions &options, bool subtitles);

// playbin's number for the sound or subtitle track with that id (a demultiplexer's stream id, or
// playbin's own number for a stream read without one); -1 when it has none such.
int playbinTrack(GstElement *playbin, StreamTrack::Kind kind, const QString &id);

bool hasProperty(GstElement *element, const char *name);

// Widens the regions of every DVB subtitle page before overlay (a dvbsuboverlay) decodes it, so
// that it draws regions whose lines fill their width whole (SubtitleRegions).
void widenSubtitleRegionsFor(GstElement *overlay);

// Sends every message of pipeline's bus to handler on the thread that posts it (null: none).
void setBusSyncHandler(GstElement *pipeline, GstBusSyncHandler handler, gpointer data);

// Stops pipeline (blocking until it has), detaches its bus handler and releases it.
void stopAndRelease(GstElement *&pipeline);

} // namespace PipelineSupport
