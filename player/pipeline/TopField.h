#pragma once

typedef struct _GstElement GstElement;

// A GStreamer element that shows an interlaced picture as its top field alone: every other line,
// half the height, pixels twice as tall. It copies nothing when the element after it reads
// GstVideoMeta: the field is the same memory seen with twice the line stride, so the scaler after
// it reads half the lines the full picture has and no deinterlacing pass touches the picture at
// all. Progressive pictures pass untouched. Two moments never meet in one picture, so a moving
// edge shows no combing; at the sizes a window shows, a field's lines are all it could use.
namespace TopField {

// A new element, floating, for a bin to take.
GstElement *create();

} // namespace TopField
