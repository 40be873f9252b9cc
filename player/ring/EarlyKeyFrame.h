#pragma once

#include "player/pipeline/PictureSink.h"

#include <QSize>

typedef struct _GstElement GstElement;

// Shows a tune's first key frame as soon as it has come whole out of its parser. The pipeline's
// own decoder gives a picture out only once the frames after it are in, to put pictures in their
// order: with B-frames that holds the first picture two or three frames, 80 ms and more. Decoded
// alone, the key frame needs no such wait. The pictures after it come from the pipeline as ever,
// the first of them being the same key frame again.
namespace EarlyKeyFrame {

// On a pipeline's video parser, before its first buffer: the picture goes to pictures, no larger
// than bound. pictures must outlive the parser's streaming.
void watch(GstElement *parser, PictureSink &pictures, QSize bound);

} // namespace EarlyKeyFrame
