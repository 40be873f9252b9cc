#include "player/playback/KeyFrameDecoder.h"

#include "player/playback/TopField.h"
#include "player/playback/WarmSource.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Niceness of the decoding thread: it runs only on what the watched channel and a recording leave.
constexpr int kNiceness = 10;

struct Codec {
    const char *caps;
    const char *parser;
    const char *decoder;
};

// Stream types of the programme map, as TsRing reads them.
bool codecFor(int streamType, Codec &codec) {
    switch (streamType) {
    case 0x1B:
        codec = {"video/x-h264,stream-format=byte-stream", "h264parse", "avdec_h264"};
        return true;
    case 0x24:
        codec = {"video/x-h265,stream-format=byte-stream", "h265parse", "avdec_h265"};
        return true;
    case 0x01:
        codec = {"video/mpeg,mpegversion=1,systemstream=false", "mpegvideoparse", "avdec_mpeg2video"};
        return true;
    case 0x02:
        codec = {"video/mpeg,mpegversion=2,systemstream=false", "mpegvideoparse", "avdec_mpeg2video"};
        return true;
    default:
        return false;
    }
}

// What the end of the chain received: the first picture and its caps.
struct Output {
    GstBuffer *buffer = nullptr;
    GstCaps *caps = nullptr;
};

GstFlowReturn onBuffer(GstPad *pad, GstObject *, GstBuffer *buffer) {
    auto *output = static_cast<Output *>(gst_pad_get_element_private(pad));
    if (!output->buffer) {
        output->buffer = buffer;
        output->caps = gst_pad_get_current_caps(pad);
    } else {
        gst_buffer_unref(buffer);
    }
    return GST_FLOW_OK;
}

gboolean onEvent(GstPad *, GstObject *, GstEvent *event) {
    gst_event_unref(event);
    return TRUE;
}

PictureSink::Picture toPicture(const Output &output) {
    PictureSink::Picture picture;
    GstVideoInfo info;
    GstVideoFrame frame;
    if (!output.buffer || !output.caps || !gst_video_info_from_caps(&info, output.caps) ||
        !gst_video_frame_map(&frame, &info, output.buffer, GST_MAP_READ))
        return picture;
    picture.image = QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), info.width,
                           info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32)
                        .copy();
    gst_video_frame_unmap(&frame);
    if (info.par_n > 0 && info.par_d > 0)
        picture.pixelAspectRatio = qreal(info.par_n) / info.par_d;
    return picture;
}

} // namespace

KeyFrameDecoder::KeyFrameDecoder() {
    m_queue.post([] { setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), kNiceness); });
}

void KeyFrameDecoder::setBound(QSize bound) {
    m_width = bound.width();
    m_height = bound.height();
}

void KeyFrameDecoder::request(const std::weak_ptr<WarmSource> &weak) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (!source || !source->claimPictureRequest())
        return;
    m_queue.post([this, weak] {
        const std::shared_ptr<WarmSource> source = weak.lock();
        if (!source)
            return;
        const TsRing::KeyFrame key = source->heldKeyFrame();
        source->setKeyFramePicture(decode(key, QSize(m_width, m_height)));
    });
}

PictureSink::Picture KeyFrameDecoder::decode(const TsRing::KeyFrame &key, QSize bound) {
    Codec codec;
    if (key.elementary.isEmpty() || !codecFor(key.streamType, codec))
        return {};
    // Elements driven from this thread, without a pipeline: no streaming thread of their own, so the
    // whole decode runs at this thread's priority, and the single-threaded decoder adds none.
    GstElement *bin = gst_bin_new(nullptr);
    GstElement *parser = gst_element_factory_make(codec.parser, nullptr);
    GstElement *decoder = gst_element_factory_make(codec.decoder, nullptr);
    GstElement *field = TopField::create();
    GstElement *scale = gst_element_factory_make("videoscale", nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    if (!parser || !decoder || !scale || !convert || !filter) {
        for (GstElement *element : {parser, decoder, field, scale, convert, filter}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        gst_object_unref(bin);
        return {};
    }
    // A broken key frame gives no picture rather than a smeared one.
    g_object_set(decoder, "max-threads", 1, "output-corrupt", FALSE, nullptr);
    GstCaps *pictureCaps = PictureSink::capsFor(bound);
    g_object_set(filter, "caps", pictureCaps, nullptr);
    gst_caps_unref(pictureCaps);
    gst_bin_add_many(GST_BIN(bin), parser, decoder, field, scale, convert, filter, nullptr);
    gst_element_link_many(parser, decoder, field, scale, convert, filter, nullptr);

    Output output;
    GstPad *src = gst_pad_new("src", GST_PAD_SRC);
    GstPad *sink = gst_pad_new("sink", GST_PAD_SINK);
    gst_pad_set_chain_function(sink, &onBuffer);
    gst_pad_set_event_function(sink, &onEvent);
    gst_pad_set_element_private(sink, &output);
    GstPad *parserSink = gst_element_get_static_pad(parser, "sink");
    GstPad *filterSrc = gst_element_get_static_pad(filter, "src");
    gst_pad_link(src, parserSink);
    gst_pad_link(filterSrc, sink);
    gst_pad_set_active(src, TRUE);
    gst_pad_set_active(sink, TRUE);
    gst_element_set_state(bin, GST_STATE_PLAYING);

    gst_pad_push_event(src, gst_event_new_stream_start("key-frame"));
    GstCaps *streamCaps = gst_caps_from_string(codec.caps);
    gst_pad_push_event(src, gst_event_new_caps(streamCaps));
    gst_caps_unref(streamCaps);
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_push_event(src, gst_event_new_segment(&segment));
    GstBuffer *buffer = gst_buffer_new_memdup(key.elementary.constData(), gsize(key.elementary.size()));
    GST_BUFFER_PTS(buffer) = 0;
    gst_pad_push(src, buffer);
    // The end of the stream makes the parser and the decoder give out what they hold back.
    gst_pad_push_event(src, gst_event_new_eos());

    PictureSink::Picture picture = toPicture(output);
    gst_element_set_state(bin, GST_STATE_NULL);
    gst_pad_set_active(src, FALSE);
    gst_pad_set_active(sink, FALSE);
    gst_pad_unlink(src, parserSink);
    gst_pad_unlink(filterSrc, sink);
    gst_object_unref(parserSink);
    gst_object_unref(filterSrc);
    gst_object_unref(src);
    gst_object_unref(sink);
    gst_object_unref(bin);
    if (output.buffer)
        gst_buffer_unref(output.buffer);
    if (output.caps)
        gst_caps_unref(output.caps);
    return picture;
}
