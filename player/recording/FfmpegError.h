#pragma once

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

// The reason behind an error code, to follow our French text in parentheses: in French for the
// usual ones, else in FFmpeg's own words.
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
    default:
        break;
    }
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}
