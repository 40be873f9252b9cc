// What the box writes for the player to read, and how it refuses a bad command line.
#include "support/ChildProcess.h"
#include "support/SetTopBox.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(BoxPlaylist, ListsEveryChannelAsAnEntryFollowedByItsAddress) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("playlist.m3u"));
    QProcess box;
    childprocess::tieToTestProgram(box);
    box.start(QStringLiteral(SETTOPBOX_BINARY),
              {"--port", "0", "--channels", "203,201", "--unserved", "202", "--playlist", path});
    ASSERT_TRUE(box.waitForStarted(10000));
    QByteArray out;
    while (!out.contains('\n') && box.waitForReadyRead(20000))
        out += box.readAllStandardOutput();
    ASSERT_TRUE(out.startsWith("READY port=")) << out.constData();
    const QByteArray port = out.mid(11).trimmed();
    box.kill();
    box.waitForFinished(5000);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // In number order, served or not, with no header: row k's address is line 2k + 1.
    const QByteArray expected = "#EXTINF:-1,201 - Halcyon Une\n"
                                "rtsp://127.0.0.1:" +
                                port +
                                "/orvantv/201\n"
                                "#EXTINF:-1,202 - Halcyon Deux\n"
                                "rtsp://127.0.0.1:" +
                                port +
                                "/orvantv/202\n"
                                "#EXTINF:-1,203 - Halcyon Trois\n"
                                "rtsp://127.0.0.1:" +
                                port + "/orvantv/203\n";
    EXPECT_EQ(file.readAll(), expected);
}

TEST(BoxPlaylist, HelperWritesTheSamePlaylistAsTheBox) {
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = {201};
    options.unserved = {299};
    ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    const QByteArray port = QByteArray::number(box.port());
    EXPECT_EQ(box.playlist(), "#EXTINF:-1,201 - Halcyon Une\nrtsp://127.0.0.1:" + port +
                                  "/orvantv/201\n#EXTINF:-1,299 - Halcyon Dix-neuf\nrtsp://127.0.0.1:" +
                                  port + "/orvantv/299\n");
    EXPECT_EQ(box.address(201), "rtsp://127.0.0.1:" + port + "/orvantv/201");
}

TEST(BoxOptions, RefusesABadCommandLine) {
    const QList<QStringList> bad{
        {"--port", "x"},      {"--port", "70000"}, {"--channels", ""}, {"--channels", "201,,202"},
        {"--unserved", "-3"}, {"--bogus", "1"},    {"--port"},
    };
    for (const QStringList &args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QProcess box;
        childprocess::tieToTestProgram(box);
        box.start(QStringLiteral(SETTOPBOX_BINARY), args);
        ASSERT_TRUE(box.waitForFinished(10000));
        EXPECT_EQ(box.exitCode(), 2);
        EXPECT_FALSE(box.readAllStandardOutput().contains("READY"));
    }
}

} // namespace
