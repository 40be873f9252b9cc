#pragma once

#include <QByteArray>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;
typedef struct _GstCaps GstCaps;

// One MPEG-TS out of the RTP streams of a programme, whatever the server sends: one MPEG-TS over
// RTP is depayloaded as it comes; elementary streams, each an RTP session of its own, are
// depayloaded, parsed and multiplexed into one MPEG-TS (key frames flagged for random access), so
// that what comes out is the same either way. The multiplexer stamps what it gives out with the
// time it leaves, so the stream looks like one sent whole.
namespace TsAssembly {

// From now on the RTP streams linked in pipeline go into sink (already in pipeline); name is what
// the log calls them.
void prepare(GstElement *pipeline, GstElement *sink, const QByteArray &name);
// Links pad, which gives one RTP stream of caps (null: the pad's own), into the transport stream
// of the pipeline prepared; a stream nothing here carries is dropped. On any thread.
void link(GstElement *pipeline, GstPad *pad, GstCaps *caps = nullptr);

} // namespace TsAssembly
