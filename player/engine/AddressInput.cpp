#include "player/engine/AddressInput.h"

#include "player/PlayerLog.h"
#include "player/StartupTrace.h"
#include "player/engine/PipelineSettings.h"
#include "player/pipeline/PipelineSupport.h"
#include "player/ring/RtspControlPath.h"
#include "player/engine/ServerBye.h"
#include "player/pipeline/StreamLatency.h"

#include <QFileInfo>
#include <QUrl>
#include <gst/gst.h>
#include <gst/rtsp/gstrtspmessage.h>

AddressInput::AddressInput(QByteArray uri, const PlayerOptions &options)
    : m_uri(std::move(uri)), m_options(options) {}

QByteArray AddressInput::uriFor(const QString &address) {
    const QUrl url(address);
    // One-letter schemes are drive letters: a path, not an address.
    if (url.scheme().size() > 1)
        return address.toUtf8();
    return QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath()).toEncoded();
}

void AddressInput::setUpSource(GstElement *source, PictureSink &, const PipelineSettings &settings) {
    if (!PipelineSupport::hasProperty(source, "latency"))
        return;
    g_object_set(source, "latency", guint(settings.latencyMs.value_or(StreamLatency::kTransportStreamMs)),
                 nullptr);
    // Read before the streams are set up, while the latency can still change.
    if (!settings.latencyMs && g_signal_lookup("on-sdp", G_OBJECT_TYPE(source)))
        g_signal_connect(source, "on-sdp", G_CALLBACK(&AddressInput::onDescription), nullptr);
    // Otherwise UDP first, then TCP when the server answers 461 or no packet comes through.
    if (m_options.rtspTcp && PipelineSupport::hasProperty(source, "protocols"))
        gst_util_set_object_arg(G_OBJECT(source), "protocols", "tcp");
    if (g_signal_lookup("before-send", G_OBJECT_TYPE(source)))
        g_signal_connect(source, "before-send", G_CALLBACK(&AddressInput::onBeforeSend), this);
    ServerBye::watch(source);
}

void AddressInput::onDescription(GstElement *source, void *sdp, void *) {
    const int latency = StreamLatency::forDescription(static_cast<const GstSDPMessage *>(sdp));
    if (latency != StreamLatency::kTransportStreamMs) {
        qCDebug(lcPlayer) << "plain RTP video: jitter buffer of" << latency << "ms";
        g_object_set(source, "latency", guint(latency), nullptr);
    }
}

int AddressInput::onBeforeSend(GstElement *, GstRTSPMessage *message, AddressInput *self) {
    if (message->type != GST_RTSP_MESSAGE_REQUEST || !message->type_data.request.uri)
        return TRUE;
    qCDebug(lcPlayer) << "rtsp" << gst_rtsp_method_as_text(message->type_data.request.method) << "sent";
    if (StartupTrace::enabled())
        StartupTrace::mark(QByteArray("rtsp ")
                               .append(gst_rtsp_method_as_text(message->type_data.request.method))
                               .append(" sent")
                               .constData());
    RtspControlPath::redirect(self->m_uri, message);
    return TRUE;
}
