#include "player/playback/WarmFailure.h"

#include <QRegularExpression>
#include <gst/gst.h>

namespace WarmFailures {

int rtspStatus(const QString &debug) {
    static const QRegularExpression status(QStringLiteral("\\((\\d{3})\\)"));
    const QRegularExpressionMatch match = status.match(debug);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

WarmFailure fromError(quint32 domain, int code, const QString &debug) {
    const int status = rtspStatus(debug);
    if (status == 453 || status == 454 || status == 503)
        return WarmFailure::Refused;
    if (domain == GST_RESOURCE_ERROR && code == GST_RESOURCE_ERROR_NOT_FOUND)
        return WarmFailure::NotFound;
    if (status >= 400 && debug.contains(QLatin1String("setup")))
        return WarmFailure::SetupRefused;
    // Packets that reach no element taking them, or a form nothing here reads: the channel's
    // stream, not the box, is at fault.
    const bool unlinked =
        debug.contains(QLatin1String("not-linked")) || debug.contains(QLatin1String("not-negotiated"));
    const bool unreadable = domain == GST_STREAM_ERROR && code != GST_STREAM_ERROR_FAILED;
    const bool missing = domain == GST_CORE_ERROR &&
                         (code == GST_CORE_ERROR_MISSING_PLUGIN || code == GST_CORE_ERROR_NEGOTIATION);
    if (unlinked || unreadable || missing || status == 415 || status == 461)
        return WarmFailure::Unsupported;
    return WarmFailure::Broken;
}

const char *name(WarmFailure failure) {
    switch (failure) {
    case WarmFailure::Refused:
        return "refused";
    case WarmFailure::SetupRefused:
        return "setup refused";
    case WarmFailure::NotFound:
        return "not found";
    case WarmFailure::Unsupported:
        return "unsupported";
    case WarmFailure::Broken:
        return "broken";
    case WarmFailure::NeverReady:
        return "never ready";
    case WarmFailure::Ended:
        return "ended by the server";
    }
    return "";
}

} // namespace WarmFailures
