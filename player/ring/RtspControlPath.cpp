#include "player/ring/RtspControlPath.h"

#include "player/PlayerLog.h"

#include <gst/gst.h>
#include <gst/rtsp/gstrtspmessage.h>

QByteArray RtspControlPath::appended(const QByteArray &sessionUri, const QByteArray &requestUri) {
    if (sessionUri.isEmpty() || sessionUri.endsWith('/') || requestUri == sessionUri ||
        requestUri.startsWith(sessionUri + '/'))
        return {};
    const qsizetype slash = sessionUri.lastIndexOf('/');
    // "rtsp://host" has no path to be a sibling of.
    if (slash < 0 || sessionUri.left(slash).endsWith('/'))
        return {};
    const QByteArray parent = sessionUri.left(slash + 1);
    if (!requestUri.startsWith(parent))
        return {};
    const QByteArray path = requestUri.mid(parent.size());
    if (path.isEmpty() || path.contains('/'))
        return {};
    return sessionUri + '/' + path;
}

void RtspControlPath::redirect(const QByteArray &sessionUri, GstRTSPMessage *message) {
    if (message->type != GST_RTSP_MESSAGE_REQUEST || !message->type_data.request.uri)
        return;
    const QByteArray fixed = appended(sessionUri, message->type_data.request.uri);
    if (fixed.isEmpty())
        return;
    qCDebug(lcPlayer) << "request for" << message->type_data.request.uri << "sent to" << fixed;
    g_free(message->type_data.request.uri);
    message->type_data.request.uri = g_strdup(fixed.constData());
}

void RtspControlPath::followFrom(GstElement *rtspsrc, const QByteArray &sessionUri) {
    g_signal_connect_data(
        rtspsrc, "before-send", G_CALLBACK(+[](GstElement *, GstRTSPMessage *message, QByteArray *uri) {
            redirect(*uri, message);
            return TRUE;
        }),
        new QByteArray(sessionUri), [](gpointer uri, GClosure *) { delete static_cast<QByteArray *>(uri); },
        GConnectFlags(0));
}
