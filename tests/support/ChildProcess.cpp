#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace childprocess {

namespace {

// Asks the kernel to kill the child when the thread that started it ends, whatever the reason.
void dieWithParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
}

// What fd gives until it ends, the deadline passes, or enough(read so far) holds.
QByteArray readFrom(int fd, const QDeadlineTimer &deadline,
                    const std::function<bool(const QByteArray &)> &enough) {
    QByteArray text;
    while (!enough(text)) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime()))) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, n);
    }
    return text;
}

} // namespace

// A PID with its start time, so that a later process given the same PID is not taken for it.
QByteArray recordLine(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray fields = stat.readAll();
    const QList<QByteArray> afterName = fields.mid(fields.lastIndexOf(')') + 2).split(' ');
    return QByteArray::number(pid) + ' ' + afterName.value(19) + '\n';
}

void record(qint64 pid) {
    const QByteArray line = recordLine(pid);
    if (line.isEmpty())
        return;
    const QString dir = QStringLiteral(HALCYON_BUILD_DIR "/x-sessions");
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/%1.pids").arg(getpid()));
    if (file.open(QIODevice::Append))
        file.write(line);
}

pid_t spawn(const QStringList &argv, const SpawnOptions &options) {
    QList<QByteArray> args;
    for (const QString &a : argv)
        args.append(a.toLocal8Bit());
    std::vector<char *> raw;
    for (QByteArray &a : args)
        raw.push_back(a.data());
    raw.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        dieWithParent(parent);
        if (options.fd3 == 3)
            fcntl(3, F_SETFD, 0);
        else if (options.fd3 >= 0)
            dup2(options.fd3, 3);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            if (options.quiet) {
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
        }
        if (options.stdoutFd >= 0)
            dup2(options.stdoutFd, STDOUT_FILENO);
        execvp(raw[0], raw.data());
        _exit(127);
    }
    if (pid > 0 && options.record)
        record(pid);
    return pid;
}

bool stop(pid_t pid, int graceMs) {
    if (pid <= 0)
        return true;
    kill(pid, SIGTERM);
    QDeadlineTimer deadline(graceMs);
    while (!deadline.hasExpired()) {
        const pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        QThread::msleep(10);
    }
    kill(pid, SIGKILL);
    return waitpid(pid, nullptr, 0) == pid;
}

void tieToTestProgram(QProcess &process, std::function<void()> firstInChild) {
    const pid_t parent = getpid();
    // A change of user clears the parent-death signal: it is set after firstInChild.
    process.setChildProcessModifier([parent, firstInChild] {
        if (firstInChild)
            firstInChild();
        dieWithParent(parent);
    });
    QObject::connect(&process, &QProcess::started, &process, [&process] { record(process.processId()); });
}

QByteArray spawnAndReadAnnouncement(const QStringList &argv, int timeoutMs, pid_t *pid) {
    *pid = -1;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    const pid_t child = spawn(argv, {.fd3 = fds[1], .quiet = true});
    close(fds[1]);
    const QByteArray text = child > 0 ? readFrom(fds[0], QDeadlineTimer(timeoutMs),
                                                 [](const QByteArray &read) { return read.contains('\n'); })
                                      : QByteArray();
    close(fds[0]);
    if (!text.contains('\n')) {
        if (child > 0)
            stop(child);
        return {};
    }
    *pid = child;
    return text.left(text.indexOf('\n')).trimmed();
}

QByteArray runToEnd(const QStringList &argv, int timeoutMs, bool *ok) {
    // Plain fork and pipe rather than QProcess: this also runs before the QApplication exists.
    if (ok)
        *ok = false;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = spawn(argv, {.stdoutFd = fds[1], .record = false, .quiet = true});
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return {};
    }
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray out = readFrom(fds[0], deadline, [](const QByteArray &) { return false; });
    close(fds[0]);
    int status = 0;
    if (deadline.hasExpired()) {
        stop(pid, 0);
        return {};
    }
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    if (ok)
        *ok = true;
    return out;
}

} // namespace childprocess
