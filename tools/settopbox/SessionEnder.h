#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <map>
#include <string>

namespace halcyon::settopbox {

// Ends each session on the box's own initiative, as some servers do now and then: an RTCP BYE on
// each of its streams, then nothing more (the session is gone; a fresh SETUP works at once). The
// BYE names the session's SSRC and 0 in turn: a client ends the stream on the first, while the
// second leaves a client that heeds only its own SSRC with a session gone silent.
class SessionEnder {
public:
    SessionEnder() = default;
    ~SessionEnder();
    SessionEnder(const SessionEnder &) = delete;
    SessionEnder &operator=(const SessionEnder &) = delete;

    // Ends every session of server's once it has lived seconds; 0 ends none.
    void setPeriod(GstRTSPServer *server, int seconds);

private:
    static gboolean onTick(gpointer self);
    static GstRTSPFilterResult judge(GstRTSPSessionPool *, GstRTSPSession *session, gpointer self);
    static GstRTSPFilterResult sayBye(GstRTSPSession *, GstRTSPSessionMedia *media, gpointer ssrcNamed);
    static void sendBye(GstRTSPStreamTransport *transport, bool namingSsrc);

    GstRTSPServer *m_server = nullptr;
    int m_periodSeconds = 0;
    guint m_tickId = 0;
    gint64 m_now = 0;
    // When each session was first seen, by id; and whether the next BYE names the session's SSRC.
    std::map<std::string, gint64> m_firstSeen;
    bool m_namingSsrc = true;
};

} // namespace halcyon::settopbox
