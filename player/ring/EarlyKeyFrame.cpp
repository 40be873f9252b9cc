#include "player/ring/EarlyKeyFrame.h"

#include "player/StartupTrace.h"
#include "player/ring/KeyFrameChain.h"

#include <gst/gst.h>

namespace {

struct Watch {
    PictureSink *pictures;
    QSize bound;
};

// On the streaming thread, before the pipeline's decoder gets the frame: the picture made here
// is offered before any the pipeline makes of it.
GstPadProbeReturn onFrame(GstPad *pad, GstPadProbeInfo *info, gpointer data) {
    GstBuffer *buffer = gst_pad_probe_info_get_buffer(info);
    if (!buffer || GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT))
        return GST_PAD_PROBE_OK;
    const auto *watch = static_cast<const Watch *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    GstMapInfo map;
    if (caps && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        KeyFrameChain chain(caps, watch->bound);
        PictureSink::Picture picture =
            chain.decode(QByteArray::fromRawData(reinterpret_cast<const char *>(map.data), qsizetype(map.size)));
        gst_buffer_unmap(buffer, &map);
        if (!picture.image.isNull()) {
            StartupTrace::mark("key frame decoded alone");
            watch->pictures->offer(std::move(picture));
        }
    }
    if (caps)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_REMOVE;
}

} // namespace

void EarlyKeyFrame::watch(GstElement *parser, PictureSink &pictures, QSize bound) {
    GstPad *output = gst_element_get_static_pad(parser, "src");
    if (!output)
        return;
    gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, &onFrame, new Watch{&pictures, bound},
                      [](gpointer data) { delete static_cast<Watch *>(data); });
    gst_object_unref(output);
}
