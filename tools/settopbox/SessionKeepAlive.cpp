#include "settopbox/SessionKeepAlive.h"

namespace halcyon::settopbox {

void SessionKeepAlive::watch(GstRTSPClient *client) {
    g_signal_connect(client, "new-session", G_CALLBACK(&SessionKeepAlive::onNewSession), this);
    for (const char *signal : {"options-request", "get-parameter-request", "set-parameter-request",
                               "setup-request", "play-request", "pause-request"})
        g_signal_connect(client, signal, G_CALLBACK(&SessionKeepAlive::onRequest), this);
}

void SessionKeepAlive::onNewSession(GstRTSPClient *, GstRTSPSession *session, gpointer self) {
    auto *keepAlive = static_cast<SessionKeepAlive *>(self);
    // Announced in the SETUP answer, so that clients know how often to speak.
    gst_rtsp_session_set_timeout(session, guint(keepAlive->m_timeoutSeconds));
    keepAlive->touch(session);
}

void SessionKeepAlive::onRequest(GstRTSPClient *, GstRTSPContext *context, gpointer self) {
    // The context does not name the session of every request (keep-alives among them): the header does.
    gchar *header = nullptr;
    if (!context || !context->request ||
        gst_rtsp_message_get_header(context->request, GST_RTSP_HDR_SESSION, &header, 0) != GST_RTSP_OK)
        return;
    std::string id = header;
    id = id.substr(0, id.find(';'));
    auto *keepAlive = static_cast<SessionKeepAlive *>(self);
    auto it = keepAlive->m_lastRequest.find(id);
    if (it != keepAlive->m_lastRequest.end())
        it->second = g_get_monotonic_time();
}

void SessionKeepAlive::touch(GstRTSPSession *session) {
    m_lastRequest[gst_rtsp_session_get_sessionid(session)] = g_get_monotonic_time();
}

void SessionKeepAlive::dropSilentSessions(GstRTSPSessionPool *pool) {
    gst_rtsp_session_pool_filter(pool, &SessionKeepAlive::judge, this);
    // Forget sessions the pool no longer has, whoever ended them.
    for (auto it = m_lastRequest.begin(); it != m_lastRequest.end();) {
        GstRTSPSession *session = gst_rtsp_session_pool_find(pool, it->first.c_str());
        if (session) {
            g_object_unref(session);
            ++it;
        } else {
            it = m_lastRequest.erase(it);
        }
    }
}

GstRTSPFilterResult SessionKeepAlive::judge(GstRTSPSessionPool *, GstRTSPSession *session, gpointer self) {
    auto *keepAlive = static_cast<SessionKeepAlive *>(self);
    const gint64 now = g_get_monotonic_time();
    auto [it, added] = keepAlive->m_lastRequest.emplace(gst_rtsp_session_get_sessionid(session), now);
    const bool silent = now - it->second > gint64(keepAlive->m_timeoutSeconds) * G_USEC_PER_SEC;
    return silent ? GST_RTSP_FILTER_REMOVE : GST_RTSP_FILTER_KEEP;
}

} // namespace halcyon::settopbox
