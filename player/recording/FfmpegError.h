#pragma once

#include "player/PlayerLog.h"

#include <QString>

#include <cerrno>
#include <stdexcept>

extern "C" {
#include <libavutil/error.h>
}

// A recording failure; what() is the French text shown to the user, in UTF-8.
class FfmpegError : public std::runtime_error {
public:
    explicit FfmpegError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The reason behind an error code, to follow our French text in parentheses: in French, the
// usual ones by name and the others by number, with FFmpeg's own words in the log.
inline QString ffmpegErrorText(int code) {
    switch (code) {
    case AVERROR_EOF:
        return QStringLiteral("connexion fermée");
    case AVERROR(ECONNREFUSED):
        return QStringLiteral("connexion refusée");
    case AVERROR(ECONNRESET):
        return QStringLiteral("connexion coupée");
    case AVERROR(ETIMEDOUT):
        return QStringLiteral("pas de réponse");
    case AVERROR_HTTP_NOT_FOUND:
        return QStringLiteral("introuvable sur le serveur");
    case AVERROR_INVALIDDATA:
        return QStringLiteral("données illisibles");
    case AVERROR(EIO):
        return QStringLiteral("erreur d'entrée-sortie");
    case AVERROR(ENOENT):
        return QStringLiteral("dossier inexistant");
    case AVERROR(ENOTDIR):
        return QStringLiteral("le chemin passe par un fichier");
    case AVERROR(EISDIR):
        return QStringLiteral("c'est un dossier");
    case AVERROR(EACCES):
    case AVERROR(EPERM):
        return QStringLiteral("accès refusé");
    case AVERROR(EROFS):
        return QStringLiteral("support en lecture seule");
    case AVERROR(ENOSPC):
        return QStringLiteral("disque plein");
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
        return QStringLiteral("réseau injoignable");
    case AVERROR_HTTP_BAD_REQUEST:
    case AVERROR_HTTP_OTHER_4XX:
        return QStringLiteral("demande refusée par le serveur");
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN:
        return QStringLiteral("accès refusé par le serveur");
    case AVERROR_HTTP_SERVER_ERROR:
        return QStringLiteral("erreur du serveur");
    default:
        break;
    }
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    qCWarning(lcRecording).noquote() << "FFmpeg error" << code << ":" << text;
    return QStringLiteral("erreur %1").arg(code);
}
