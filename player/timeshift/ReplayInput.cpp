#include "player/timeshift/ReplayInput.h"

#include "player/PlayerLog.h"
#include "player/timeshift/ReplayReader.h"

#include <cstring>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace {

bool isDecoder(GstElement *element, const char *kind) {
    GstElementFactory *factory = gst_element_get_factory(element);
    const char *klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    return klass && strstr(klass, "Decoder") && strstr(klass, kind);
}

} // namespace

ReplayInput::ReplayInput(std::shared_ptr<ReplayReader> reader, const Start &start)
    : m_reader(std::move(reader)), m_start(start) {}

ReplayInput::~ReplayInput() = default;

void ReplayInput::setUpSource(GstElement *source, PictureSink &, const PipelineSettings &) {
    if (GST_IS_APP_SRC(source))
        m_reader->attach(GST_APP_SRC(source));
}

void ReplayInput::release() {
    m_reader->detach();
}

void ReplayInput::elementAdded(GstElement *element, const QByteArray &name) {
    if (name == "tsdemux") {
        g_signal_connect(element, "pad-added", G_CALLBACK(&ReplayInput::onDemuxedPad), this);
        return;
    }
    if (!isDecoder(element, "Video") && !isDecoder(element, "Audio"))
        return;
    GstPad *output = gst_element_get_static_pad(element, "src");
    if (!output)
        return;
    gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(&ReplayInput::onDecoded), this,
                      nullptr);
    gst_object_unref(output);
}

// The demultiplexer names its pads by kind: the first timestamp of the stream that sets the time
// is the start point's.
void ReplayInput::onDemuxedPad(GstElement *, GstPad *pad, void *self) {
    auto *input = static_cast<ReplayInput *>(self);
    gchar *name = gst_pad_get_name(pad);
    const bool timing = g_str_has_prefix(name, input->m_start.pictures ? "video" : "audio");
    g_free(name);
    if (timing)
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(&ReplayInput::onDemuxed), self,
                          nullptr);
}

int ReplayInput::onDemuxed(GstPad *, GstPadProbeInfo *info, void *self) {
    const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
    if (!GST_CLOCK_TIME_IS_VALID(pts))
        return GST_PAD_PROBE_OK;
    qint64 unknown = -1;
    static_cast<ReplayInput *>(self)->m_firstPts.compare_exchange_strong(unknown, qint64(pts));
    return GST_PAD_PROBE_REMOVE;
}

// Decoded pictures and sound from before the moment asked for are dropped; the first one kept of
// the stream that sets the time gives the running time the pipeline starts at.
int ReplayInput::onDecoded(GstPad *pad, GstPadProbeInfo *info, void *self) {
    auto *input = static_cast<ReplayInput *>(self);
    const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
    const qint64 first = input->m_firstPts;
    if (first < 0)
        return GST_PAD_PROBE_DROP;
    if (!GST_CLOCK_TIME_IS_VALID(pts))
        return GST_PAD_PROBE_OK;
    const qint64 threshold = first + (input->m_start.targetNs - input->m_start.pointNs);
    if (qint64(pts) < threshold)
        return GST_PAD_PROBE_DROP;
    GstElement *decoder = gst_pad_get_parent_element(pad);
    const bool timing = decoder && isDecoder(decoder, input->m_start.pictures ? "Video" : "Audio");
    if (decoder)
        gst_object_unref(decoder);
    if (timing && !input->m_startKnown) {
        if (GstEvent *event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0)) {
            const GstSegment *segment = nullptr;
            gst_event_parse_segment(event, &segment);
            const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, pts);
            if (GST_CLOCK_TIME_IS_VALID(running))
                input->m_startTime = running;
            gst_event_unref(event);
        }
        input->m_startKnown = true;
    }
    return GST_PAD_PROBE_REMOVE;
}

quint64 ReplayInput::startTime() const {
    return m_startKnown ? quint64(m_startTime) : 0;
}
