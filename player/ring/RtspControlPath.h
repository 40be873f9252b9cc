#pragma once

#include <QByteArray>

typedef struct _GstRTSPMessage GstRTSPMessage;
typedef struct _GstElement GstElement;

// Where a stream's RTSP requests go when the server's description gives its streams relative
// control paths and no Content-Base. Other clients append the path to the request address
// (rtsp://box/orvantv/201 + streamid=0 -> rtsp://box/orvantv/201/streamid=0); GStreamer resolves it
// as a relative URL (rtsp://box/orvantv/streamid=0), which such servers never answer.
namespace RtspControlPath {

// The address a request meant for requestUri should use: requestUri/path when GStreamer turned it
// into a sibling of the request address, or an empty array when it is right as it is.
QByteArray appended(const QByteArray &sessionUri, const QByteArray &requestUri);

// Sends a request rtspsrc is about to make for the session at sessionUri where appended() says.
void redirect(const QByteArray &sessionUri, GstRTSPMessage *message);
// Makes rtspsrc redirect() every request it sends for the session at sessionUri.
void followFrom(GstElement *rtspsrc, const QByteArray &sessionUri);

} // namespace RtspControlPath
