// The suite's last check: helper processes recorded by test programs must all be gone.
#include "support/ChildProcess.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Check {
    int exitCode = -1;
    QByteArray output;
};

Check runCheck(const QString &dir) {
    QProcess check;
    check.start(QStringLiteral(HALCYON_SOURCE_DIR "/tests/support/check-no-leftovers.sh"), {dir});
    check.waitForFinished(30000);
    return {check.exitCode(), check.readAllStandardOutput()};
}

bool writeRecords(const QString &path, const QByteArray &records) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(records) == records.size();
}

TEST(LeftoverCheck, ReportsAndStopsARecordedHelperStillRunning) {
    QTemporaryDir dir;
    const pid_t helper = childprocess::spawn({"sleep", "60"}, {.record = false});
    ASSERT_GT(helper, 0);
    ASSERT_TRUE(writeRecords(dir.filePath("1.pids"), childprocess::recordLine(helper)));

    const Check check = runCheck(dir.path());
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_TRUE(check.output.contains("sleep 60")) << check.output.constData();
    // Reaped here, since it is this program's child: gone means the check killed it.
    EXPECT_TRUE(waitUntil([&] { return waitpid(helper, nullptr, WNOHANG) == helper; }, 10000));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << "the next run starts clean";
}

TEST(LeftoverCheck, IgnoresProcessesThatEndedAndPidsTakenByOthers) {
    QTemporaryDir dir;
    const pid_t ended = childprocess::spawn({"sleep", "60"}, {.record = false});
    const QByteArray endedRecord = childprocess::recordLine(ended);
    ASSERT_FALSE(endedRecord.isEmpty());
    childprocess::stop(ended);
    // This very process under a recorded PID but another start time: the PID was reused.
    const QByteArray reused = QByteArray::number(getpid()) + " 1\n";
    ASSERT_TRUE(writeRecords(dir.filePath("1.pids"), endedRecord + reused));
    ASSERT_TRUE(writeRecords(dir.filePath("2.pids"), ""));

    const Check check = runCheck(dir.path());
    EXPECT_EQ(check.exitCode, 0) << check.output.constData();
    EXPECT_EQ(kill(getpid(), 0), 0);
}

} // namespace
