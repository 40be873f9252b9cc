#include "player/warm/WarmFailure.h"

#include <gst/gst.h>

namespace WarmFailures {

// Read by hand, not with a static expression: GStreamer's threads call this, and may still do so
// while the process's statics are being destroyed (an exit the X server's loss forced).
int rtspStatus(const QString &debug) {
    const auto digit = [&debug](qsizetype at) {
        return debug.at(at).isDigit() && debug.at(at).unicode() < 128;
    };
    for (qsizetype open = debug.indexOf(QLatin1Char('(')); open >= 0 && open + 4 < debug.size();
         open = debug.indexOf(QLatin1Char('('), open + 1)) {
        if (digit(open + 1) && digit(open + 2) && digit(open + 3) && debug.at(open + 4) == QLatin1Char(')'))
            return debug.mid(open + 1, 3).toInt();
    }
    return 0;
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
