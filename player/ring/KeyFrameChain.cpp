#include "player/ring/KeyFrameChain.h"

#include <gst/gst.h>

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

// The stream type of the codec of caps a parser gives; 0 for none decoded here.
int streamTypeOf(const GstCaps *caps) {
    const GstStructure *structure = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    if (!structure)
        return 0;
    if (gst_structure_has_name(structure, "video/x-h264"))
        return 0x1B;
    if (gst_structure_has_name(structure, "video/x-h265"))
        return 0x24;
    int version = 0;
    if (gst_structure_has_name(structure, "video/mpeg") && gst_structure_get_int(structure, "mpegversion", &version))
        return version == 1 ? 0x01 : version == 2 ? 0x02 : 0;
    return 0;
}

} // namespace

KeyFrameChain::KeyFrameChain(int streamType, QSize bound) : m_streamType(streamType), m_bound(bound) {
    Codec codec;
    if (!codecFor(streamType, codec))
        return;
    GstCaps *streamCaps = gst_caps_from_string(codec.caps);
    build(codec.parser, codec.decoder, streamCaps);
    gst_caps_unref(streamCaps);
}

KeyFrameChain::KeyFrameChain(const GstCaps *streamCaps, QSize bound)
    : m_streamType(streamTypeOf(streamCaps)), m_bound(bound) {
    Codec codec;
    if (!codecFor(m_streamType, codec))
        return;
    build(codec.parser, codec.decoder, const_cast<GstCaps *>(streamCaps));
}

void KeyFrameChain::build(const char *parserName, const char *decoderName, GstCaps *streamCaps) {
    GstElement *parser = gst_element_factory_make(parserName, nullptr);
    GstElement *decoder = gst_element_factory_make(decoderName, nullptr);
    if (!parser || !decoder) {
        for (GstElement *element : {parser, decoder}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return;
    }
    // One thread, this one; a broken key frame gives no picture rather than a smeared one.
    g_object_set(decoder, "max-threads", 1, "output-corrupt", FALSE, nullptr);
    m_bin = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)));
    gst_bin_add_many(GST_BIN(m_bin), parser, decoder, nullptr);
    const PictureSink::Conversion conversion = PictureSink::addConversion(GST_BIN(m_bin), m_bound);
    gst_element_link_many(parser, decoder, conversion.input, nullptr);
    GstElement *filter = conversion.filter;

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
    gst_pad_push_event(m_src, gst_event_new_caps(streamCaps));
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
    PictureSink::Picture picture = PictureSink::pictureOf(m_picture, m_pictureCaps);
    // Kept for seconds: a copy of its own, so the chain's buffers go back to it at once.
    picture.image = picture.image.copy();
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
