#pragma once

#include "settopbox/ChannelEncoder.h"
#include "settopbox/SessionEnder.h"
#include "settopbox/SessionKeepAlive.h"

#include <gio/gio.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace halcyon::settopbox {

// Which lower transports the box accepts in a SETUP; a refused one is answered 461.
enum class Transports { Any, TcpOnly, UdpOnly };

// The RTSP side of the box: one mount /orvantv/<number> per served channel. The box accepts its
// own connections, so that a restart really closes the port and then opens the same one again.
class BoxServer {
public:
    BoxServer() = default;
    ~BoxServer();
    BoxServer(const BoxServer &) = delete;
    BoxServer &operator=(const BoxServer &) = delete;

    // Starts every channel's encoder with its profile and listens; port 0 picks a free port.
    bool start(const std::string &bindAddress, int port, const std::map<int, const StreamProfile *> &channels,
               std::string *error);
    int port() const { return m_port; }

    // A channel number of 0 means every channel; false when the box does not serve it.
    bool setFrozen(int channel, bool frozen);
    bool stall(int channel, int ms);
    bool setLoss(int channel, double percent);
    bool setJitter(int channel, int ms);
    // Drops every viewer and answers "not found" for every channel until serve() is called.
    void stopServing();
    void serve();

    void setTransports(Transports transports);
    // A session with no request or report from its client for that long is dropped.
    void setSessionTimeout(int seconds);
    // A SETUP that would open one session more is refused; 0 means no limit.
    void setMaxSessions(int sessions);
    // Answers TEARDOWN with 501 Not Implemented, as some servers do: the session, and its
    // sending, goes on until it times out.
    void setTeardownIgnored(bool ignored) { m_teardownIgnored = ignored; }
    // Ends each session seconds after it began, with an RTCP BYE naming its SSRC and 0 in turn,
    // as some servers do now and then; 0 lets sessions last.
    void setSessionsEndedEvery(int seconds) { m_ender.setPeriod(m_server, seconds); }
    // The sessions held now (one whose TEARDOWN was ignored is held until it times out, though it
    // sends nothing once its viewer has closed the connection), and by channel the viewers sent to
    // now and the most at once since the last count.
    struct Viewers {
        int now = 0;
        int peak = 0;
    };
    struct SessionCount {
        int held = 0;
        std::map<int, Viewers> viewers;
    };
    SessionCount sessions();
    // Drops every connection and session, closes the port, restarts the encoders, and listens on
    // the same port again downMs later.
    bool restart(int downMs, std::string *error);

private:
    bool listen(std::string *error);
    void closePort();
    void dropEveryone();
    std::vector<ChannelEncoder *> encodersOf(int channel);
    static gboolean onConnection(GSocket *socket, GIOCondition, gpointer self);
    static gboolean onComeBack(gpointer self);
    static void onClientConnected(GstRTSPServer *, GstRTSPClient *client, gpointer self);
    static GstRTSPStatusCode onTeardown(GstRTSPClient *, GstRTSPContext *, gpointer self);
    static void onMediaConfigure(GstRTSPMediaFactory *factory, GstRTSPMedia *media, gpointer encoder);
    static void onMediaUnprepared(GstRTSPMedia *media, gpointer encoder);
    // Signal handlers share the encoder: a viewer's media may be torn down after the server.
    static gpointer shareEncoder(const std::shared_ptr<ChannelEncoder> &encoder);
    static void releaseEncoder(gpointer shared, GClosure *);
    static gboolean cleanupSessions(gpointer self);
    static GstRTSPFilterResult dropClient(GstRTSPServer *, GstRTSPClient *, gpointer);
    static GstRTSPFilterResult dropSession(GstRTSPSessionPool *, GstRTSPSession *, gpointer);
    static std::string mountPath(int channel);

    GstRTSPServer *m_server = nullptr;
    std::string m_bindAddress;
    int m_port = -1;
    GSocket *m_listener = nullptr;
    GSource *m_acceptSource = nullptr;
    guint m_comeBackId = 0;
    guint m_cleanupId = 0;
    bool m_serving = false;
    bool m_teardownIgnored = false;
    SessionKeepAlive m_keepAlive;
    SessionEnder m_ender;
    std::map<int, std::shared_ptr<ChannelEncoder>> m_encoders;
    std::map<int, GstRTSPMediaFactory *> m_factories;
};

} // namespace halcyon::settopbox
