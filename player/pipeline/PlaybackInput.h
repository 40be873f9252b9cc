#pragma once

#include <QByteArray>

typedef struct _GstElement GstElement;
class PictureSink;
struct PipelineSettings;

// Where a PlaybackPipeline's stream comes from: an address the pipeline connects to itself, or a
// warm channel's ring. Called by the pipeline under its own lock or from playbin's signals.
class PlaybackInput {
public:
    virtual ~PlaybackInput() = default;

    // What playbin plays.
    virtual QByteArray uri() const = 0;
    // playbin has made its source element: set it up for the stream's settings. On the thread that
    // starts the pipeline.
    virtual void setUpSource(GstElement *source, PictureSink &pictures, const PipelineSettings &settings) = 0;
    // Just before playbin starts; false when it cannot start (the input has logged why).
    virtual bool prepare(GstElement *playbin) {
        (void)playbin;
        return true;
    }
    // Just before playbin stops.
    virtual void release() {}
    // A cold tune shows its first key frame as soon as it is whole; a ring's held pictures go
    // through the picture gate instead.
    virtual bool showsFirstKeyFrameEarly() const = 0;
    // playbin made element (factory name given), not yet started: an input may watch its pads.
    virtual void elementAdded(GstElement *element, const QByteArray &name) {
        (void)element;
        (void)name;
    }
    // An input that is not live may start from a point inside its stream: the pipeline then
    // prerolls paused first, and plays with startTime() as its running time at once, unless
    // staysPaused().
    virtual bool prerolls() const { return false; }
    virtual quint64 startTime() const { return 0; }
    virtual bool staysPaused() const { return false; }
};
