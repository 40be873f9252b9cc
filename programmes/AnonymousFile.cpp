#include "programmes/AnonymousFile.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

int openNameless(const QByteArray &folder) {
#ifdef O_TMPFILE
    const int nameless = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Other errors (no such folder, no space) would be the same below.
    if (nameless >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return nameless;
#endif
    QByteArray pattern = folder + "/.halcyon-tv-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(pattern.constData());
    return fd;
}

} // namespace

QString AnonymousFile::folder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return !cache.isEmpty() && QDir(cache).exists() ? cache : QDir::tempPath();
}

std::unique_ptr<QFile> AnonymousFile::create(QString *why) {
    const QString where = folder();
    const int fd = openNameless(QFile::encodeName(where));
    if (fd < 0) {
        *why = QStringLiteral("cannot make a file in %1: %2")
                   .arg(where, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = file->errorString();
        return nullptr;
    }
    return file;
}
