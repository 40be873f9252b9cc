#include "player/playback/RtspControlPath.h"

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
