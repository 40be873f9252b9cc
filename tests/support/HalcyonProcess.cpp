#include "support/HalcyonProcess.h"

#include "support/ChildProcess.h"
#include "support/Wait.h"

#include <QFile>

#include <grp.h>
#include <unistd.h>
#include <utility>

HalcyonProcess::HalcyonProcess() : m_program(QStringLiteral(HALCYON_TV_BINARY)) {
    m_process.setWorkingDirectory(m_dir.path());
}

HalcyonProcess::~HalcyonProcess() {
    kill();
}

bool HalcyonProcess::setPlaylist(const QByteArray &content) {
    QFile file(m_dir.filePath(QStringLiteral("playlist.m3u")));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

bool HalcyonProcess::setUser(uint uid, uint gid) {
    if (::chown(QFile::encodeName(m_dir.path()).constData(), uid, gid) != 0)
        return false;
    m_uid = uid;
    m_gid = gid;
    return true;
}

bool HalcyonProcess::start() {
    // Taken now, not at construction, so the caller's environment of the moment is passed on.
    QProcessEnvironment environment =
        m_environment.isEmpty() ? QProcessEnvironment::systemEnvironment() : m_environment;
#if defined(__SANITIZE_ADDRESS__)
    // The program's GL driver leaks as it is unloaded at exit, under no name a suppression can
    // match; memory errors are still fatal, and the test programs check leaks in-process.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
#endif
    m_process.setProcessEnvironment(environment);
    std::function<void()> switchUser;
    if (m_uid) {
        switchUser = [uid = *m_uid, gid = m_gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(127);
        };
    }
    if (!std::exchange(m_tied, true))
        childprocess::tieToTestProgram(m_process, switchUser);
    m_process.start(m_program, {});
    return m_process.waitForStarted(10000);
}

xdo::WindowId HalcyonProcess::waitForWindow(const QString &title, int timeoutMs) {
    xdo::WindowId window = 0;
    waitUntil(
        [&] {
            window = xdo::waitForWindow(title, 0);
            return window != 0 || !isRunning();
        },
        timeoutMs, 100);
    return window;
}

bool HalcyonProcess::waitForExit(int timeoutMs) {
    return waitUntil([&] { return !isRunning(); }, timeoutMs);
}

int HalcyonProcess::exitCode() const {
    if (isRunning() || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

void HalcyonProcess::kill() {
    if (!isRunning())
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

QByteArray HalcyonProcess::standardOutput() {
    m_out += m_process.readAllStandardOutput();
    return m_out;
}

QByteArray HalcyonProcess::standardError() {
    m_err += m_process.readAllStandardError();
    return m_err;
}
