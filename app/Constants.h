#pragma once

#include "BuildConfig.h"

#include <QByteArray>

// Build-time constants: the program takes no arguments and reads no settings.
// The build sets the three addresses (CMake options STREAM_HOST, GUIDE_PAGE_URL, AUTHOR_PAGE_URL).

namespace halcyon {

inline constexpr const char *StreamHost = HALCYON_STREAM_HOST;
inline constexpr const char *GuidePageUrl = HALCYON_GUIDE_PAGE_URL;
inline constexpr const char *AuthorPageUrl = HALCYON_AUTHOR_PAGE_URL;

// Stream addresses are 8-bit strings handed to the player control unchanged.
inline QByteArray StartupStream() {
    return QByteArray("rtsp://") + StreamHost + "/orvantv/201";
}
inline QByteArray RecordFallbackStream() {
    return QByteArray("rtsp://") + StreamHost + "/orvantv/612";
}

} // namespace halcyon
