#include "settopbox/BoxServer.h"

namespace halcyon::settopbox {

namespace {

// Each viewer gets its own tiny pipeline; the expensive encoding is shared in ChannelEncoder.
constexpr const char *kViewerPipeline =
    "( appsrc name=src is-live=true format=time do-timestamp=true ! rtpmp2tpay name=pay0 pt=33 )";

} // namespace

BoxServer::~BoxServer() {
    if (m_server)
        stopServing();
    for (auto &[number, encoder] : m_encoders)
        encoder->stop();
    if (m_cleanupId)
        g_source_remove(m_cleanupId);
    if (m_sourceId)
        g_source_remove(m_sourceId);
    for (auto &[number, factory] : m_factories)
        g_object_unref(factory);
    if (m_server)
        g_object_unref(m_server);
}

std::string BoxServer::mountPath(int channel) {
    return "/orvantv/" + std::to_string(channel);
}

bool BoxServer::start(const std::string &bindAddress, int port, const std::vector<int> &channels,
                      std::string *error) {
    for (int number : channels) {
        auto encoder = std::make_shared<ChannelEncoder>(number);
        m_encoders[number] = encoder;
        if (!encoder->start(error))
            return false;
        GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
        gst_rtsp_media_factory_set_launch(factory, kViewerPipeline);
        g_signal_connect_data(factory, "media-configure", G_CALLBACK(&BoxServer::onMediaConfigure),
                              shareEncoder(encoder), &BoxServer::releaseEncoder, GConnectFlags(0));
        m_factories[number] = factory;
    }

    m_server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(m_server, bindAddress.c_str());
    gst_rtsp_server_set_service(m_server, std::to_string(port).c_str());
    serve();
    m_sourceId = gst_rtsp_server_attach(m_server, nullptr);
    if (m_sourceId == 0) {
        *error = "cannot listen on " + bindAddress + ":" + std::to_string(port);
        return false;
    }
    // Viewers that vanish without a teardown leave sessions behind until they time out.
    m_cleanupId = g_timeout_add_seconds(2, &BoxServer::cleanupSessions, m_server);
    return true;
}

int BoxServer::port() const {
    return m_server ? gst_rtsp_server_get_bound_port(m_server) : -1;
}

bool BoxServer::setFrozen(int channel, bool frozen) {
    if (channel == 0) {
        for (auto &[number, encoder] : m_encoders)
            encoder->setFrozen(frozen);
        return true;
    }
    auto it = m_encoders.find(channel);
    if (it == m_encoders.end())
        return false;
    it->second->setFrozen(frozen);
    return true;
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
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(m_server);
    gst_rtsp_session_pool_filter(pool, &BoxServer::dropSession, nullptr);
    g_object_unref(pool);
    gst_rtsp_server_client_filter(m_server, &BoxServer::dropClient, nullptr);
    m_serving = false;
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
    GstElement *src = gst_bin_get_by_name(GST_BIN(bin), "src");
    gst_object_unref(bin);
    GstAppSrc *viewer = GST_APP_SRC(src);
    GstCaps *caps = gst_caps_from_string("video/mpegts,systemstream=true,packetsize=188");
    gst_app_src_set_caps(viewer, caps);
    gst_caps_unref(caps);
    // A viewer that cannot keep up loses packets rather than growing the box without bound.
    gst_app_src_set_max_bytes(viewer, 512 * 1024);
    gst_app_src_set_leaky_type(viewer, GST_APP_LEAKY_TYPE_DOWNSTREAM);
    g_object_set_data_full(G_OBJECT(media), "viewer", src, gst_object_unref);
    encoder->attach(viewer);
    g_signal_connect_data(media, "unprepared", G_CALLBACK(&BoxServer::onMediaUnprepared),
                          shareEncoder(encoder), &BoxServer::releaseEncoder, GConnectFlags(0));
}

void BoxServer::onMediaUnprepared(GstRTSPMedia *media, gpointer shared) {
    auto *viewer = static_cast<GstAppSrc *>(g_object_get_data(G_OBJECT(media), "viewer"));
    if (viewer)
        (*static_cast<std::shared_ptr<ChannelEncoder> *>(shared))->detach(viewer);
}

gboolean BoxServer::cleanupSessions(gpointer server) {
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(GST_RTSP_SERVER(server));
    gst_rtsp_session_pool_cleanup(pool);
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
