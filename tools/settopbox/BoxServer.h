#pragma once

#include "settopbox/ChannelEncoder.h"

#include <gst/rtsp-server/rtsp-server.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace halcyon::settopbox {

// The RTSP side of the box: one mount /orvantv/<number> per served channel.
class BoxServer {
public:
    BoxServer() = default;
    ~BoxServer();
    BoxServer(const BoxServer &) = delete;
    BoxServer &operator=(const BoxServer &) = delete;

    // Starts every channel's encoder and listens; port 0 picks a free port.
    bool start(const std::string &bindAddress, int port, const std::vector<int> &channels,
               std::string *error);
    int port() const;

    // A channel number of 0 means every channel; false when the box does not serve it.
    bool setFrozen(int channel, bool frozen);
    // Drops every viewer and answers "not found" for every channel until serve() is called.
    void stopServing();
    void serve();

private:
    static void onMediaConfigure(GstRTSPMediaFactory *factory, GstRTSPMedia *media, gpointer encoder);
    static void onMediaUnprepared(GstRTSPMedia *media, gpointer encoder);
    // Signal handlers share the encoder: a viewer's media may be torn down after the server.
    static gpointer shareEncoder(const std::shared_ptr<ChannelEncoder> &encoder);
    static void releaseEncoder(gpointer shared, GClosure *);
    static gboolean cleanupSessions(gpointer server);
    static GstRTSPFilterResult dropClient(GstRTSPServer *, GstRTSPClient *, gpointer);
    static GstRTSPFilterResult dropSession(GstRTSPSessionPool *, GstRTSPSession *, gpointer);
    static std::string mountPath(int channel);

    GstRTSPServer *m_server = nullptr;
    guint m_sourceId = 0;
    guint m_cleanupId = 0;
    bool m_serving = false;
    std::map<int, std::shared_ptr<ChannelEncoder>> m_encoders;
    std::map<int, GstRTSPMediaFactory *> m_factories;
};

} // namespace halcyon::settopbox
