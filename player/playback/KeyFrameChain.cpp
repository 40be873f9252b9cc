#include "player/playback/KeyFrameChain.h"

#include "player/playback/TopField.h"

#include <gst/gst.h>
#include <gst/video/video.h>

namespace {

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

PictureSink::Picture toPicture(GstBuffer *buffer, GstCaps *caps) {
    PictureSink::Picture picture;
    GstVideoInfo info;
    GstVideoFrame frame;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
        !gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
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

KeyFrameChain::KeyFrameChain(int streamType, QSize bound) : m_streamType(streamType), m_bound(bound) {
    Codec codec;
    if (!codecFor(streamType, codec))
        return;
    GstElement *parser = gst_element_factory_make(codec.parser, nullptr);
    GstElement *decoder = gst_element_factory_make(codec.decoder, nullptr);
    GstElement *field = TopField::create();
    GstElement *scale = gst_element_factory_make("videoscale", nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    if (!parser || !decoder || !field || !scale || !convert || !filter) {
        for (GstElement *element : {parser, decoder, field, scale, convert, filter}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return;
    }
    // One thread, this one; a broken key frame gives no picture rather than a smeared one.
    g_object_set(decoder, "max-threads", 1, "output-corrupt", FALSE, nullptr);
    GstCaps *pictureCaps = PictureSink::capsFor(bound);
    g_object_set(filter, "caps", pictureCaps, nullptr);
    gst_caps_unref(pictureCaps);
    m_bin = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)));
    gst_bin_add_many(GST_BIN(m_bin), parser, decoder, field, scale, convert, filter, nullptr);
    gst_element_link_many(parser, decoder, field, scale, convert, filter, nullptr);

    m_src = GST_PAD(gst_object_ref_sink(gst_pad_new("src", GST_PAD_SRC)));
    m_sink = GST_PAD(gst_object_ref_sink(gst_pad_new("sink", GST_PAD_SINK)));
    gst_pad_set_chain_function(m_sink, reinterpret_cast<GstPadChainFunction>(&KeyFrameChain::onBuffer));
    gst_pad_set_event_function(m_sink, reinterpret_cast<GstPadEventFunction>(&KeyFrameChain::onEvent));
    gst_pad_set_element_private(m_sink, this);
    GstPad *parserSink = gst_element_get_static_pad(parser, "sink");
    GstPad *filterSrc = gst_element_get_static_pad(filter, "src");
    gst_pad_link(m_src, parserSink);
    gst_pad_link(filterSrc, m_sink);
    gst_object_unref(parserSink);
    gst_object_unref(filterSrc);
    gst_pad_set_active(m_src, TRUE);
    gst_pad_set_active(m_sink, TRUE);
    gst_element_set_state(m_bin, GST_STATE_PLAYING);

    gst_pad_push_event(m_src, gst_event_new_stream_start("key-frames"));
    GstCaps *streamCaps = gst_caps_from_string(codec.caps);
    gst_pad_push_event(m_src, gst_event_new_caps(streamCaps));
    gst_caps_unref(streamCaps);
    startSegment();
}

KeyFrameChain::~KeyFrameChain() {
    if (!m_bin)
        return;
    gst_element_set_state(m_bin, GST_STATE_NULL);
    gst_pad_set_active(m_src, FALSE);
    gst_pad_set_active(m_sink, FALSE);
    gst_object_unref(m_src);
    gst_object_unref(m_sink);
    gst_object_unref(m_bin);
}

void KeyFrameChain::startSegment() {
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_push_event(m_src, gst_event_new_segment(&segment));
}

PictureSink::Picture KeyFrameChain::decode(const QByteArray &elementary) {
    if (!m_bin || elementary.isEmpty())
        return {};
    GstBuffer *buffer = gst_buffer_new_memdup(elementary.constData(), gsize(elementary.size()));
    GST_BUFFER_PTS(buffer) = 0;
    gst_pad_push(m_src, buffer);
    // The end of the stream makes the parser and the decoder give out what they hold back; the
    // flush after it makes the chain take a stream again, with nothing left of this one.
    gst_pad_push_event(m_src, gst_event_new_eos());
    PictureSink::Picture picture = toPicture(m_picture, m_pictureCaps);
    gst_pad_push_event(m_src, gst_event_new_flush_start());
    gst_pad_push_event(m_src, gst_event_new_flush_stop(TRUE));
    startSegment();
    if (m_picture)
        gst_buffer_unref(std::exchange(m_picture, nullptr));
    if (m_pictureCaps)
        gst_caps_unref(std::exchange(m_pictureCaps, nullptr));
    return picture;
}

int KeyFrameChain::onBuffer(GstPad *pad, void *, void *data) {
    auto *self = static_cast<KeyFrameChain *>(gst_pad_get_element_private(pad));
    auto *buffer = static_cast<GstBuffer *>(data);
    if (self->m_picture) {
        gst_buffer_unref(buffer);
        return GST_FLOW_OK;
    }
    self->m_picture = buffer;
    self->m_pictureCaps = gst_pad_get_current_caps(pad);
    return GST_FLOW_OK;
}

int KeyFrameChain::onEvent(GstPad *, void *, void *event) {
    gst_event_unref(static_cast<GstEvent *>(event));
    return TRUE;
}
