#include "playlist/PlaylistFile.h"

#include "playlist/PlaylistErrors.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out, dropping the lease first when one was taken.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() {
        if (m_leased)
            ::fcntl(m_fd, F_SETLEASE, F_UNLCK);
        ::close(m_fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;

    int fd() const { return m_fd; }
    void setLeased() { m_leased = true; }

private:
    int m_fd;
    bool m_leased = false;
};

// Another process opening the leased file for writing waits until the lease is let go, and the
// kernel asks for it with SIGIO, whose default action ends the program. The read finishes within
// moments and drops the lease anyway, so the request needs no answer: it is caught and ignored.
// A handler, not SIG_IGN, so that programs started later do not inherit an ignored signal; one
// that someone else installed is left alone.
void catchLeaseBreaks() {
    static const bool installed = [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO))
            return false;
        struct sigaction ignore {};
        ignore.sa_handler = [](int) {};
        sigemptyset(&ignore.sa_mask);
        ignore.sa_flags = SA_RESTART;
        return ::sigaction(SIGIO, &ignore, nullptr) == 0;
    }();
    (void)installed;
}

} // namespace

QByteArray PlaylistFile::readAll(const QString &fileName) {
    // Non-blocking so a FIFO or a file leased by someone else cannot hang start-up.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw EFOpenError(fileName);
    OpenFile file(fd);

    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw EFOpenError(fileName);

    // A read lease is refused (EAGAIN) while any descriptor on the file is open for writing.
    // Where leases are not allowed at all (not the owner, a file system without them) the
    // file is read as it is: refusing it there would refuse every playlist.
    catchLeaseBreaks();
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        file.setLeased();
    else if (errno == EAGAIN || errno == EBUSY)
        throw EFOpenError(fileName);

    // One byte more than the size, so the end of the file shows without growing the buffer.
    QByteArray text;
    text.resize(qsizetype(info.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == text.size())
            text.resize(filled + qMax<qsizetype>(4096, filled / 2));
        const ssize_t n = ::read(fd, text.data() + filled, size_t(text.size() - filled));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EFOpenError(fileName);
        }
        filled += n;
    }
    text.truncate(filled);
    return text;
}
