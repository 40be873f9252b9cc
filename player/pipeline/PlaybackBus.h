#pragma once

#include "player/StreamTrack.h"
#include "player/pipeline/TrackMarks.h"

#include <memory>

typedef struct _GstBus GstBus;
typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

using GstMessagePtr = std::shared_ptr<GstMessage>;

// A playing pipeline's bus, read as messages are posted: one short handler per kind of message,
// each logging what it decided at debug level, the few that need the pipeline handed to its owner.
class PlaybackBus {
public:
    // What the bus asks of the pipeline it watches. Called on GStreamer's threads.
    class Owner {
    public:
        // An error or the end of the stream, for the window to tell the user.
        virtual void finished(const GstMessagePtr &message) = 0;
        // An element's latency changed (a jitter buffer grew): the pipeline's total must follow.
        virtual void recalculateLatency() = 0;
        // The clock went away with the element that gave it: pause and play to choose another.
        virtual void reselectClock() = 0;
        // The demultiplexer listed the stream's sound and subtitle tracks.
        virtual void streamsListed(const QList<StreamTrack> &tracks) = 0;
        // The programme table marked tracks (audio description, subtitles for the hard of hearing).
        virtual void tracksMarked(const TrackMarks::ByPid &marks) = 0;
        // Every stream has been found and linked in pipeline: how many pictures and sounds there are
        // is known.
        virtual void streamsSettled(GstElement *pipeline) = 0;
        // A stream was found that no installed element decodes.
        virtual void decoderMissing() = 0;

    protected:
        ~Owner() = default;
    };

    static void attach(GstElement *pipeline, Owner &owner);
    static void detach(GstElement *pipeline);

private:
    static int onMessage(GstBus *bus, GstMessage *message, void *owner);
    static void onError(GstMessage *message, Owner &owner);
    static void onWarning(GstMessage *message);
    static void onEndOfStream(GstMessage *message, Owner &owner);
    static void onStateChanged(GstMessage *message);
    static void onBuffering(GstMessage *message);
    static void onLatency(GstMessage *message, Owner &owner);
    static void onClockLost(Owner &owner);
    static void onStreamCollection(GstMessage *message, Owner &owner);
    static void onAsyncDone(GstMessage *message, Owner &owner);
    static void onElement(GstMessage *message, Owner &owner);
};
