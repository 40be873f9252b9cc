#include "player/pipeline/StreamLatency.h"

#include "player/PlayerLog.h"
#include "player/pipeline/PipelineSupport.h"

#include <gst/sdp/gstsdpmessage.h>

#include <cstring>

namespace {

// "33 MP2T/90000" -> true. The payload name follows the format number.
bool isTransportStream(const char *rtpmap) {
    const char *name = rtpmap ? std::strchr(rtpmap, ' ') : nullptr;
    return name && g_ascii_strncasecmp(name + 1, "MP2T/", 5) == 0;
}

} // namespace

int StreamLatency::forDescription(const GstSDPMessage *sdp) {
    for (guint i = 0; sdp && i < gst_sdp_message_medias_len(sdp); ++i) {
        const GstSDPMedia *media = gst_sdp_message_get_media(sdp, i);
        if (g_strcmp0(gst_sdp_media_get_media(media), "video") != 0)
            continue;
        const char *rtpmap = gst_sdp_media_get_attribute_val(media, "rtpmap");
        // Payload 33 is MPEG-TS by its static number, with or without an rtpmap line.
        const char *format = gst_sdp_media_get_format(media, 0);
        if (!isTransportStream(rtpmap) && g_strcmp0(format, "33") != 0)
            return kPlainRtpVideoMs;
    }
    return kTransportStreamMs;
}

void StreamLatency::startEarly(GstElement *jitterBuffer) {
    if (PipelineSupport::hasProperty(jitterBuffer, "faststart-min-packets")) {
        g_object_set(jitterBuffer, "faststart-min-packets", guint(kStartAfterPackets), nullptr);
        qCDebug(lcPlayer) << "jitter buffer starts after" << kStartAfterPackets << "packets in order";
    }
}
