#include "player/timeshift/ShiftFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// The user's words for why the cache folder takes nothing: the system's own texts are in English
// where no French messages are installed.
QString systemText(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("espace disque insuffisant");
    case EACCES:
    case EPERM:
        return QStringLiteral("dossier de cache protégé en écriture");
    case EROFS:
        return QStringLiteral("disque en lecture seule");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("dossier de cache introuvable");
    default:
        return QStringLiteral("dossier de cache inaccessible (%1)").arg(QString::fromLocal8Bit(strerror(error)));
    }
}

// A file made with a name and unlinked at once, for file systems that refuse O_TMPFILE.
int openUnlinked(const QByteArray &folder) {
    QByteArray path = folder + "/.halcyon-XXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0)
        unlink(path.constData());
    return fd;
}

} // namespace

std::unique_ptr<ShiftFile> ShiftFile::open(const QString &folder, QString *why) {
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder);
    int fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = openUnlinked(path);
    if (fd < 0) {
        if (why)
            *why = systemText(errno);
        return nullptr;
    }
    return std::unique_ptr<ShiftFile>(new ShiftFile(fd));
}

ShiftFile::~ShiftFile() {
    ::close(m_fd);
}

bool ShiftFile::write(qint64 offset, const char *data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::pwrite(m_fd, data, size_t(size), off_t(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_lastError = written < 0 ? errno : ENOSPC;
            return false;
        }
        data += written;
        offset += written;
        size -= written;
    }
    return true;
}

qint64 ShiftFile::read(qint64 offset, char *data, qint64 size) const {
    qint64 total = 0;
    while (total < size) {
        const ssize_t got = ::pread(m_fd, data + total, size_t(size - total), off_t(offset + total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

bool ShiftFile::truncate(qint64 size) {
    int result;
    do
        result = ::ftruncate(m_fd, off_t(size));
    while (result < 0 && errno == EINTR);
    return result == 0;
}

qint64 ShiftFile::size() const {
    struct stat status {};
    return ::fstat(m_fd, &status) == 0 ? qint64(status.st_size) : -1;
}

ShiftStorage::Failure ShiftFile::failure() const {
    return {m_lastError == ENOSPC || m_lastError == EDQUOT,
            m_lastError ? systemText(m_lastError) : QString()};
}

qint64 ShiftFile::freeBytes() const {
    struct statvfs disk {};
    if (::fstatvfs(m_fd, &disk) != 0)
        return -1;
    return qint64(disk.f_bavail) * qint64(disk.f_frsize);
}
