#pragma once

#include "support/Xdo.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

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
    QByteArray m_out;
    QByteArray m_err;
};
