#pragma once

#include "player/pipeline/PictureSink.h"

#include <QByteArray>
#include <QSize>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;

// A parser, a decoder and the picture's scaling and conversion, driven from the calling thread
// without a pipeline: nothing of it runs on a thread of its own, so it decodes at its caller's
// priority. Each key frame is decoded alone and the chain is emptied after it, so one chain
// serves every channel of its coding in turn without carrying anything from one to the next.
class KeyFrameChain {
public:
    // streamType as the programme map gives it; isValid() says whether it is one this decodes.
    KeyFrameChain(int streamType, QSize bound);
    // For frames in the form a parser gives them, with these caps (not taken).
    KeyFrameChain(const struct _GstCaps *streamCaps, QSize bound);
    ~KeyFrameChain();
    KeyFrameChain(const KeyFrameChain &) = delete;
    KeyFrameChain &operator=(const KeyFrameChain &) = delete;

    bool isValid() const { return m_bin != nullptr; }
    int streamType() const { return m_streamType; }
    QSize bound() const { return m_bound; }

    // The picture of a key frame's coded units; null when they do not decode to one.
    PictureSink::Picture decode(const QByteArray &elementary);

private:
    void build(const char *parser, const char *decoder, struct _GstCaps *streamCaps);
    static int onBuffer(GstPad *pad, void *parent, void *buffer);
    static int onEvent(GstPad *pad, void *parent, void *event);
    void startSegment();

    const int m_streamType;
    const QSize m_bound;
    GstElement *m_bin = nullptr;
    GstPad *m_src = nullptr;
    GstPad *m_sink = nullptr;
    struct _GstBuffer *m_picture = nullptr;
    struct _GstCaps *m_pictureCaps = nullptr;
};
