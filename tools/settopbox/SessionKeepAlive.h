#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <map>
#include <string>

namespace halcyon::settopbox {

// Drops sessions whose client has sent no request naming them for the session timeout. The
// server's own expiry never ends a session that streams over the RTSP connection itself, where a
// real box still wants its keep-alives; so every request counts here, RTCP reports do not.
class SessionKeepAlive {
public:
    void setTimeout(int seconds) { m_timeoutSeconds = seconds; }
    int timeout() const { return m_timeoutSeconds; }

    // Starts watching a new client's requests; this object must outlive the client's signals.
    void watch(GstRTSPClient *client);
    // Removes every session silent for longer than the timeout.
    void dropSilentSessions(GstRTSPSessionPool *pool);

private:
    static void onNewSession(GstRTSPClient *, GstRTSPSession *session, gpointer self);
    static void onRequest(GstRTSPClient *, GstRTSPContext *context, gpointer self);
    static GstRTSPFilterResult judge(GstRTSPSessionPool *, GstRTSPSession *session, gpointer self);
    void touch(GstRTSPSession *session);

    int m_timeoutSeconds = 60;
    std::map<std::string, gint64> m_lastRequest;
};

} // namespace halcyon::settopbox
