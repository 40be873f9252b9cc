#pragma once

#include <QString>

#include <stdexcept>

extern "C" {
#include <libavutil/error.h>
}

// A recording failure; what() is the French text shown to the user, in UTF-8.
class FfmpegError : public std::runtime_error {
public:
    explicit FfmpegError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// FFmpeg's own wording of an error code, to follow our French text in parentheses.
inline QString ffmpegErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}
