#include "player/engine/PipelineError.h"

#include <QRegularExpression>
#include <gst/gst.h>

namespace PipelineError {

Told told(GstMessage *message) {
    GError *error = nullptr;
    gchar *debug = nullptr;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        gst_message_parse_error(message, &error, &debug);
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING)
        gst_message_parse_warning(message, &error, &debug);
    Told told;
    if (error) {
        told = {error->domain, error->code, QString::fromUtf8(error->message), QString::fromUtf8(debug)};
        g_clear_error(&error);
    }
    g_free(debug);
    return told;
}

int rtspStatus(const QString &debug) {
    // "Got error response: 503 (Service Unavailable)." for DESCRIBE, "Error (503): Service
    // Unavailable" for SETUP.
    static const QRegularExpression status(QStringLiteral(R"((?:error response: |Error \()(\d{3})\b)"));
    const QRegularExpressionMatch match = status.match(debug);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool meansBusy(int rtspStatus) {
    // 453 Not Enough Bandwidth, 454 Session Not Found (a session the box already dropped for
    // another), 503 Service Unavailable.
    return rtspStatus == 453 || rtspStatus == 454 || rtspStatus == 503;
}

Reading read(const Told &error, bool picturesSeen) {
    const GQuark domain = error.domain;
    const int code = error.code;
    if (picturesSeen)
        return {PlayerFailure::StreamInterrupted, {}};
    if (domain == GST_RESOURCE_ERROR && meansBusy(rtspStatus(error.debug)))
        return {PlayerFailure::BoxBusy, {}};
    if (domain == GST_RESOURCE_ERROR && code == GST_RESOURCE_ERROR_NOT_FOUND)
        return {PlayerFailure::ChannelNotFound, {}};
    if (domain == GST_RESOURCE_ERROR)
        return {std::nullopt, {}};
    if ((domain == GST_CORE_ERROR && code == GST_CORE_ERROR_MISSING_PLUGIN) ||
        (domain == GST_STREAM_ERROR && code == GST_STREAM_ERROR_CODEC_NOT_FOUND))
        return {PlayerFailure::Unplayable, QStringLiteral("format non pris en charge")};
    return {PlayerFailure::Unplayable, QStringLiteral("flux illisible")};
}

} // namespace PipelineError
