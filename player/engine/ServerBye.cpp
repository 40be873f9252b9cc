#include "player/engine/ServerBye.h"

#include "player/PlayerLog.h"

#include <gst/gst.h>

namespace {

constexpr const char *kMessageName = "halcyon-server-bye";

void onBye(GstElement *, guint session, guint ssrc, GstElement *rtspsrc) {
    qCDebug(lcPlayer) << "RTCP BYE on RTP session" << session << "naming SSRC" << ssrc;
    gst_element_post_message(
        rtspsrc, gst_message_new_element(GST_OBJECT(rtspsrc), gst_structure_new(kMessageName, "ssrc",
                                                                                G_TYPE_UINT, ssrc, nullptr)));
}

void onManager(GstElement *rtspsrc, GstElement *manager, gpointer) {
    if (g_signal_lookup("on-bye-ssrc", G_OBJECT_TYPE(manager)))
        g_signal_connect(manager, "on-bye-ssrc", G_CALLBACK(&onBye), rtspsrc);
}

} // namespace

namespace ServerBye {

void watch(GstElement *rtspsrc) {
    if (g_signal_lookup("new-manager", G_OBJECT_TYPE(rtspsrc)))
        g_signal_connect(rtspsrc, "new-manager", G_CALLBACK(&onManager), nullptr);
}

std::optional<guint> ssrcOf(GstMessage *message) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT)
        return std::nullopt;
    const GstStructure *structure = gst_message_get_structure(message);
    guint ssrc = 0;
    if (!structure || !gst_structure_has_name(structure, kMessageName) ||
        !gst_structure_get_uint(structure, "ssrc", &ssrc))
        return std::nullopt;
    return ssrc;
}

} // namespace ServerBye
