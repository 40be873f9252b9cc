#include "player/pipeline/PictureGate.h"

#include <gst/gst.h>

void PictureGate::install(GstPad *pad) {
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER,
                      reinterpret_cast<GstPadProbeCallback>(&PictureGate::onPicture), this, nullptr);
}

int PictureGate::onPicture(GstPad *, void *data, void *self) {
    auto *gate = static_cast<PictureGate *>(self);
    auto *info = static_cast<GstPadProbeInfo *>(data);
    if (gate->m_firstShown)
        return GST_PAD_PROBE_OK;
    int left = gate->m_toDrop;
    while (left > 0 && !gate->m_toDrop.compare_exchange_weak(left, left - 1)) {
    }
    if (left > 0)
        return GST_PAD_PROBE_DROP;
    gate->m_firstShown = true;
    // A picture without a time is shown as soon as it reaches the sink.
    GstBuffer *buffer = gst_buffer_make_writable(gst_pad_probe_info_get_buffer(info));
    GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_NONE;
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}
