#pragma once

#include "support/Xdo.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <optional>

// The real program, started as a user would: no arguments, in a fresh working folder that holds
// the playlist it is given, on the test display. Killed when the object goes.
class HalcyonProcess {
public:
    HalcyonProcess();
    ~HalcyonProcess();
    HalcyonProcess(const HalcyonProcess &) = delete;
    HalcyonProcess &operator=(const HalcyonProcess &) = delete;

    QString workDir() const { return m_dir.path(); }
    // Written as playlist.m3u byte for byte; call before start().
    bool setPlaylist(const QByteArray &content);
    // Another build of the program (an installed one, say) instead of the build tree's.
    void setProgram(const QString &path) { m_program = path; }
    // The environment to start it with instead of the test program's of the moment.
    void setEnvironment(const QProcessEnvironment &environment) { m_environment = environment; }
    // Runs it as that user (the test program must be root): the working folder becomes theirs.
    bool setUser(uint uid, uint gid);

    bool start();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }

    // The program's top-level window with exactly this title, once it is shown; 0 on timeout.
    xdo::WindowId waitForWindow(const QString &title, int timeoutMs = 20000);
    bool waitForExit(int timeoutMs);
    // Valid once the program has exited by itself; -1 when it crashed or is still running.
    int exitCode() const;
    void kill();

    // Everything the program printed so far.
    QByteArray standardOutput();
    QByteArray standardError();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_program;
    QProcessEnvironment m_environment;
    std::optional<uint> m_uid;
    uint m_gid = 0;
    bool m_tied = false;
    QByteArray m_out;
    QByteArray m_err;
};
