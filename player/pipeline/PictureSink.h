#pragma once

#include "player/pipeline/PictureGate.h"
#include "player/engine/PipelineSettings.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstAppSink GstAppSink;
typedef struct _GstBin GstBin;
typedef struct _GstBuffer GstBuffer;
typedef struct _GstCaps GstCaps;

// The end of a pipeline's video: deinterlaced, scaled and converted inside the pipeline to the size
// the picture is shown at, so a full-HD channel never crosses into the window at full size. The
// newest picture waits in a mailbox for the owning thread; pictures that arrive meanwhile replace
// it, so a busy window never builds up a backlog.
class PictureSink {
public:
    struct Picture {
        QImage image;
        qreal pixelAspectRatio = 1.0;
    };

    // pictureWaiting runs on a streaming thread when the mailbox fills after being emptied.
    explicit PictureSink(std::function<void()> pictureWaiting);
    PictureSink(const PictureSink &) = delete;
    PictureSink &operator=(const PictureSink &) = delete;

    // Square-pixel pictures of our format no larger than bound, as the window paints them.
    static GstCaps *capsFor(QSize bound);
    // The top field (unless deinterlacing is off), scaler, converter and caps filter that make such
    // pictures, added to bin and linked; the elements at both ends.
    struct Conversion {
        GstElement *input = nullptr;
        GstElement *filter = nullptr;
    };
    static Conversion addConversion(GstBin *bin, QSize bound,
                                    Deinterlacing deinterlacing = Deinterlacing::TopField);
    // A picture of such caps painted straight from the buffer, which the image holds until it goes.
    static Picture pictureOf(GstBuffer *buffer, GstCaps *caps);
    // A bin to hand playbin as its video sink, making pictures as settings say; floating, taken by
    // playbin.
    GstElement *createBin(const PipelineSettings &settings);
    // The pictures from now on as settings say (no larger than their bound: pictures are never
    // enlarged here); nothing is renegotiated when they come out the same. Any thread.
    void apply(const PipelineSettings &settings);
    Picture take();
    // A picture made outside the pipeline, delivered as one that reached the sink is. Any thread.
    void offer(Picture picture);
    // Shows the first picture at once; a hand-over also drops the held ones before it.
    PictureGate &gate() { return m_gate; }

private:
    static int onNewSample(GstAppSink *sink, void *self);
    // What the caps filter lets through for settings.
    static GstCaps *capsFor(const PipelineSettings &settings);

    std::function<void()> m_pictureWaiting;
    GstElement *m_filter = nullptr;
    PictureGate m_gate;
    std::mutex m_mutex;
    Picture m_waiting;
    bool m_delivering = false;
};
