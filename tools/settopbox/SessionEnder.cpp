#include "settopbox/SessionEnder.h"

#include <gst/rtp/gstrtcpbuffer.h>

#include <cstdio>
#include <utility>

namespace halcyon::settopbox {

namespace {

// How often the sessions' ages are looked at.
constexpr guint kTickMs = 100;

// An empty receiver report (a compound RTCP packet must start with one) and the BYE.
GstBuffer *byePacket(guint32 ssrc) {
    GstBuffer *buffer = gst_rtcp_buffer_new(1400);
    GstRTCPBuffer rtcp = GST_RTCP_BUFFER_INIT;
    gst_rtcp_buffer_map(buffer, GST_MAP_READWRITE, &rtcp);
    GstRTCPPacket packet;
    gst_rtcp_buffer_add_packet(&rtcp, GST_RTCP_TYPE_RR, &packet);
    gst_rtcp_packet_rr_set_ssrc(&packet, ssrc);
    gst_rtcp_buffer_add_packet(&rtcp, GST_RTCP_TYPE_BYE, &packet);
    gst_rtcp_packet_bye_add_ssrc(&packet, ssrc);
    gst_rtcp_buffer_unmap(&rtcp);
    return buffer;
}

} // namespace

SessionEnder::~SessionEnder() {
    if (m_tickId)
        g_source_remove(m_tickId);
}

void SessionEnder::setPeriod(GstRTSPServer *server, int seconds) {
    m_server = server;
    m_periodSeconds = seconds;
    m_firstSeen.clear();
    if (seconds > 0 && !m_tickId)
        m_tickId = g_timeout_add(kTickMs, &SessionEnder::onTick, this);
    else if (seconds <= 0 && m_tickId)
        g_source_remove(std::exchange(m_tickId, 0));
}

gboolean SessionEnder::onTick(gpointer self) {
    auto *ender = static_cast<SessionEnder *>(self);
    ender->m_now = g_get_monotonic_time();
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(ender->m_server);
    gst_rtsp_session_pool_filter(pool, &SessionEnder::judge, ender);
    g_object_unref(pool);
    // Forget the sessions gone, whoever ended them.
    for (auto it = ender->m_firstSeen.begin(); it != ender->m_firstSeen.end();)
        it = ender->m_now - it->second > 2 * gint64(ender->m_periodSeconds) * G_USEC_PER_SEC + G_USEC_PER_SEC
                 ? ender->m_firstSeen.erase(it)
                 : std::next(it);
    return G_SOURCE_CONTINUE;
}

GstRTSPFilterResult SessionEnder::judge(GstRTSPSessionPool *, GstRTSPSession *session, gpointer self) {
    auto *ender = static_cast<SessionEnder *>(self);
    const auto [it, added] =
        ender->m_firstSeen.emplace(gst_rtsp_session_get_sessionid(session), ender->m_now);
    if (ender->m_now - it->second < gint64(ender->m_periodSeconds) * G_USEC_PER_SEC)
        return GST_RTSP_FILTER_KEEP;
    // Once with the session's SSRC, once with 0.
    const bool namingSsrc = ender->m_namingSsrc;
    ender->m_namingSsrc = !namingSsrc;
    std::fprintf(stderr, "halcyon-settopbox: session %s ended, BYE naming %s\n", it->first.c_str(),
                 namingSsrc ? "its SSRC" : "SSRC 0");
    gst_rtsp_session_filter(session, &SessionEnder::sayBye, GINT_TO_POINTER(namingSsrc));
    // Gone: nothing more is sent on it, and a request naming it is answered 454.
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult SessionEnder::sayBye(GstRTSPSession *, GstRTSPSessionMedia *media, gpointer ssrcNamed) {
    const guint streams = gst_rtsp_media_n_streams(gst_rtsp_session_media_get_media(media));
    for (guint i = 0; i < streams; ++i) {
        // A stream the client did not set up has no transport.
        if (GstRTSPStreamTransport *transport = gst_rtsp_session_media_get_transport(media, i))
            sendBye(transport, GPOINTER_TO_INT(ssrcNamed));
    }
    return GST_RTSP_FILTER_KEEP;
}

void SessionEnder::sendBye(GstRTSPStreamTransport *transport, bool namingSsrc) {
    GstRTSPStream *stream = gst_rtsp_stream_transport_get_stream(transport);
    guint ssrc = 0;
    if (namingSsrc)
        gst_rtsp_stream_get_ssrc(stream, &ssrc);
    GstBuffer *bye = byePacket(ssrc);
    const GstRTSPTransport *to = gst_rtsp_stream_transport_get_transport(transport);
    if (to->lower_transport == GST_RTSP_LOWER_TRANS_TCP) {
        gst_rtsp_stream_transport_send_rtcp(transport, bye);
    } else if (to->destination) {
        // From the stream's own RTCP port, where its reports come from.
        GInetAddress *address = g_inet_address_new_from_string(to->destination);
        GSocket *socket =
            address ? gst_rtsp_stream_get_rtcp_socket(stream, g_inet_address_get_family(address)) : nullptr;
        if (socket) {
            GSocketAddress *client = g_inet_socket_address_new(address, guint16(to->client_port.max));
            GstMapInfo map;
            gst_buffer_map(bye, &map, GST_MAP_READ);
            g_socket_send_to(socket, client, reinterpret_cast<const gchar *>(map.data), map.size, nullptr,
                             nullptr);
            gst_buffer_unmap(bye, &map);
            g_object_unref(client);
            g_object_unref(socket);
        }
        if (address)
            g_object_unref(address);
    }
    gst_buffer_unref(bye);
}

} // namespace halcyon::settopbox
