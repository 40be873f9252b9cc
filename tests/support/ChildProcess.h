#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>

#include <sys/types.h>

class QProcess;

// Helper processes of the tests (X server, window manager, box, program under test) die with the
// test program even when it crashes, and are recorded so that the suite can check none outlives it.
namespace childprocess {

struct SpawnOptions {
    int stdoutFd = -1;  // inherited when -1
    int fd3 = -1;       // handed to the child as its descriptor 3
    bool record = true; // long-lived helpers are recorded; see record()
    bool quiet = false; // standard error to /dev/null
};

// Starts a program found on PATH, with /dev/null as its input. Returns -1 when it cannot start.
pid_t spawn(const QStringList &argv, const SpawnOptions &options = {});

// SIGTERM, then SIGKILL once graceMs has passed; reaps the child. True when it is gone.
bool stop(pid_t pid, int graceMs = 3000);

// Makes a QProcess's child die with this process and records its PID once started. firstInChild,
// when given, runs in the child before that (between fork and exec: async-signal-safe calls only).
void tieToTestProgram(QProcess &process, std::function<void()> firstInChild = {});
// Notes the PID in <build>/x-sessions/<test program PID>.pids for check-no-leftovers.sh.
void record(qint64 pid);
// The record of a running process: "pid start-time", or empty when there is no such process.
QByteArray recordLine(qint64 pid);

// Starts a program that tells on descriptor 3 where it can be reached (a display, a bus address)
// and returns that first line, trimmed; empty (and *pid -1) when it did not within timeoutMs.
QByteArray spawnAndReadAnnouncement(const QStringList &argv, int timeoutMs, pid_t *pid);

// Runs a short command to completion with a deadline; its standard output, or empty on failure.
QByteArray runToEnd(const QStringList &argv, int timeoutMs = 10000, bool *ok = nullptr);

} // namespace childprocess
