#include "settopbox/BoxServer.h"

#include <cstdio>

namespace halcyon::settopbox {

BoxServer::~BoxServer() {
    if (m_server)
        dropEveryone();
    closePort();
    if (m_comeBackId)
        g_source_remove(m_comeBackId);
    for (auto &[number, encoder] : m_encoders)
        encoder->stop();
    if (m_cleanupId)
        g_source_remove(m_cleanupId);
    for (auto &[number, factory] : m_factories)
        g_object_unref(factory);
    if (m_server)
        g_object_unref(m_server);
}

std::string BoxServer::mountPath(int channel) {
    return "/orvantv/" + std::to_string(channel);
}

bool BoxServer::start(const std::string &bindAddress, int port,
                      const std::map<int, const StreamProfile *> &channels, std::string *error) {
    for (const auto &[number, profile] : channels) {
        auto encoder = std::make_shared<ChannelEncoder>(number, *profile);
        m_encoders[number] = encoder;
        if (!encoder->start(error))
            return false;
        GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
        gst_rtsp_media_factory_set_launch(factory, viewerLaunch(*profile).c_str());
        g_signal_connect_data(factory, "media-configure", G_CALLBACK(&BoxServer::onMediaConfigure),
                              shareEncoder(encoder), &BoxServer::releaseEncoder, GConnectFlags(0));
        m_factories[number] = factory;
    }

    m_server = gst_rtsp_server_new();
    g_signal_connect(m_server, "client-connected", G_CALLBACK(&BoxServer::onClientConnected), this);
    serve();
    m_bindAddress = bindAddress;
    m_port = port;
    if (!listen(error))
        return false;
    // Viewers that vanish without a teardown leave sessions behind until they time out.
    m_cleanupId = g_timeout_add_seconds(1, &BoxServer::cleanupSessions, this);
    return true;
}

bool BoxServer::listen(std::string *error) {
    GError *socketError = nullptr;
    GInetAddress *address = g_inet_address_new_from_string(m_bindAddress.c_str());
    if (!address) {
        *error = "not an address: " + m_bindAddress;
        return false;
    }
    GSocketAddress *local = g_inet_socket_address_new(address, guint16(m_port));
    m_listener = g_socket_new(g_inet_address_get_family(address), G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP,
                              &socketError);
    g_object_unref(address);
    const bool listening = m_listener && g_socket_bind(m_listener, local, TRUE, &socketError) &&
                           g_socket_listen(m_listener, &socketError);
    g_object_unref(local);
    if (!listening) {
        *error = "cannot listen on " + m_bindAddress + ":" + std::to_string(m_port) +
                 (socketError ? std::string(": ") + socketError->message : std::string());
        g_clear_error(&socketError);
        closePort();
        return false;
    }
    if (GSocketAddress *bound = g_socket_get_local_address(m_listener, nullptr)) {
        m_port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
        g_object_unref(bound);
    }
    m_acceptSource = g_socket_create_source(m_listener, G_IO_IN, nullptr);
    g_source_set_callback(m_acceptSource, G_SOURCE_FUNC(&BoxServer::onConnection), this, nullptr);
    g_source_attach(m_acceptSource, nullptr);
    return true;
}

void BoxServer::closePort() {
    if (m_acceptSource) {
        g_source_destroy(m_acceptSource);
        g_source_unref(m_acceptSource);
        m_acceptSource = nullptr;
    }
    if (m_listener) {
        g_socket_close(m_listener, nullptr);
        g_object_unref(m_listener);
        m_listener = nullptr;
    }
}

gboolean BoxServer::onConnection(GSocket *socket, GIOCondition, gpointer self) {
    auto *box = static_cast<BoxServer *>(self);
    GSocket *connection = g_socket_accept(socket, nullptr, nullptr);
    if (!connection)
        return G_SOURCE_CONTINUE;
    std::string ip = "127.0.0.1";
    int port = 0;
    if (GSocketAddress *remote = g_socket_get_remote_address(connection, nullptr)) {
        gchar *text =
            g_inet_address_to_string(g_inet_socket_address_get_address(G_INET_SOCKET_ADDRESS(remote)));
        ip = text;
        g_free(text);
        port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(remote));
        g_object_unref(remote);
    }
    // The server takes the connection over as one of its own clients.
    gst_rtsp_server_transfer_connection(box->m_server, connection, ip.c_str(), port, nullptr);
    return G_SOURCE_CONTINUE;
}

void BoxServer::onClientConnected(GstRTSPServer *, GstRTSPClient *client, gpointer self) {
    static_cast<BoxServer *>(self)->m_keepAlive.watch(client);
    g_signal_connect(client, "pre-teardown-request", G_CALLBACK(&BoxServer::onTeardown), self);
}

GstRTSPStatusCode BoxServer::onTeardown(GstRTSPClient *, GstRTSPContext *, gpointer self) {
    return static_cast<BoxServer *>(self)->m_teardownIgnored ? GST_RTSP_STS_NOT_IMPLEMENTED : GST_RTSP_STS_OK;
}

std::vector<ChannelEncoder *> BoxServer::encodersOf(int channel) {
    std::vector<ChannelEncoder *> found;
    for (auto &[number, encoder] : m_encoders) {
        if (channel == 0 || number == channel)
            found.push_back(encoder.get());
    }
    return found;
}

bool BoxServer::setFrozen(int channel, bool frozen) {
    const auto encoders = encodersOf(channel);
    for (ChannelEncoder *encoder : encoders)
        encoder->setFrozen(frozen);
    return !encoders.empty();
}

bool BoxServer::stall(int channel, int ms) {
    const auto encoders = encodersOf(channel);
    for (ChannelEncoder *encoder : encoders)
        encoder->stall(ms);
    return !encoders.empty();
}

bool BoxServer::setLoss(int channel, double percent) {
    const auto encoders = encodersOf(channel);
    for (ChannelEncoder *encoder : encoders)
        encoder->faults().setLoss(percent);
    return !encoders.empty();
}

bool BoxServer::setJitter(int channel, int ms) {
    const auto encoders = encodersOf(channel);
    for (ChannelEncoder *encoder : encoders)
        encoder->faults().setJitter(ms);
    return !encoders.empty();
}

void BoxServer::serve() {
    if (m_serving)
        return;
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(m_server);
    for (auto &[number, factory] : m_factories)
        gst_rtsp_mount_points_add_factory(mounts, mountPath(number).c_str(),
                                          GST_RTSP_MEDIA_FACTORY(g_object_ref(factory)));
    g_object_unref(mounts);
    m_serving = true;
}

void BoxServer::stopServing() {
    if (!m_serving)
        return;
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(m_server);
    for (auto &[number, factory] : m_factories)
        gst_rtsp_mount_points_remove_factory(mounts, mountPath(number).c_str());
    g_object_unref(mounts);
    dropEveryone();
    m_serving = false;
}

void BoxServer::dropEveryone() {
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(m_server);
    gst_rtsp_session_pool_filter(pool, &BoxServer::dropSession, nullptr);
    g_object_unref(pool);
    gst_rtsp_server_client_filter(m_server, &BoxServer::dropClient, nullptr);
}

void BoxServer::setTransports(Transports transports) {
    GstRTSPLowerTrans allowed = GstRTSPLowerTrans(GST_RTSP_LOWER_TRANS_UDP | GST_RTSP_LOWER_TRANS_UDP_MCAST |
                                                  GST_RTSP_LOWER_TRANS_TCP);
    if (transports == Transports::TcpOnly)
        allowed = GST_RTSP_LOWER_TRANS_TCP;
    else if (transports == Transports::UdpOnly)
        allowed = GstRTSPLowerTrans(GST_RTSP_LOWER_TRANS_UDP | GST_RTSP_LOWER_TRANS_UDP_MCAST);
    // Each viewer's media is made anew from its factory, so the next SETUP sees the change.
    for (auto &[number, factory] : m_factories)
        gst_rtsp_media_factory_set_protocols(factory, allowed);
}

void BoxServer::setSessionTimeout(int seconds) {
    m_keepAlive.setTimeout(seconds);
}

void BoxServer::setMaxSessions(int sessions) {
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(m_server);
    gst_rtsp_session_pool_set_max_sessions(pool, guint(sessions));
    g_object_unref(pool);
}

bool BoxServer::restart(int downMs, std::string *error) {
    closePort();
    dropEveryone();
    for (auto &[number, encoder] : m_encoders) {
        if (!encoder->start(error))
            return false;
    }
    if (m_comeBackId)
        g_source_remove(m_comeBackId);
    m_comeBackId = g_timeout_add(guint(downMs), &BoxServer::onComeBack, this);
    return true;
}

gboolean BoxServer::onComeBack(gpointer self) {
    auto *box = static_cast<BoxServer *>(self);
    box->m_comeBackId = 0;
    std::string error;
    if (box->listen(&error))
        std::printf("READY port=%d\n", box->m_port);
    else
        std::fprintf(stderr, "halcyon-settopbox: %s\n", error.c_str());
    std::fflush(stdout);
    return G_SOURCE_REMOVE;
}

gpointer BoxServer::shareEncoder(const std::shared_ptr<ChannelEncoder> &encoder) {
    return new std::shared_ptr<ChannelEncoder>(encoder);
}

void BoxServer::releaseEncoder(gpointer shared, GClosure *) {
    delete static_cast<std::shared_ptr<ChannelEncoder> *>(shared);
}

void BoxServer::onMediaConfigure(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer shared) {
    const auto &encoder = *static_cast<std::shared_ptr<ChannelEncoder> *>(shared);
    GstElement *bin = gst_rtsp_media_get_element(media);
    encoder->attach(bin);
    g_object_set_data_full(G_OBJECT(media), "viewer", bin, gst_object_unref);
    g_signal_connect_data(media, "unprepared", G_CALLBACK(&BoxServer::onMediaUnprepared),
                          shareEncoder(encoder), &BoxServer::releaseEncoder, GConnectFlags(0));
}

void BoxServer::onMediaUnprepared(GstRTSPMedia *media, gpointer shared) {
    auto *viewer = static_cast<GstElement *>(g_object_get_data(G_OBJECT(media), "viewer"));
    if (viewer)
        (*static_cast<std::shared_ptr<ChannelEncoder> *>(shared))->detach(viewer);
}

BoxServer::SessionCount BoxServer::sessions() {
    SessionCount count;
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(m_server);
    count.held = int(gst_rtsp_session_pool_get_n_sessions(pool));
    g_object_unref(pool);
    for (auto &[number, encoder] : m_encoders)
        count.viewers[number] = {encoder->viewers(), encoder->takePeakViewers()};
    return count;
}

gboolean BoxServer::cleanupSessions(gpointer self) {
    auto *box = static_cast<BoxServer *>(self);
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(box->m_server);
    gst_rtsp_session_pool_cleanup(pool);
    box->m_keepAlive.dropSilentSessions(pool);
    g_object_unref(pool);
    return G_SOURCE_CONTINUE;
}

GstRTSPFilterResult BoxServer::dropClient(GstRTSPServer *, GstRTSPClient *, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult BoxServer::dropSession(GstRTSPSessionPool *, GstRTSPSession *, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

} // namespace halcyon::settopbox
