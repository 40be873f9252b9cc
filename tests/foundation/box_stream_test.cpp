// The simulated box as a viewer sees it: codecs, pictures, missing channels and the faults a
// test can trigger.
#include "foundation/StreamWatcher.h"
#include "support/ChildProcess.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Probe {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Probe ffprobe(const QByteArray &address) {
    QProcess process;
    childprocess::tieToTestProgram(process);
    process.start(QStringLiteral("ffprobe"), {"-v", "error", "-rtsp_transport", "tcp", "-show_entries",
                                              "stream=codec_type,codec_name,width,height", "-of", "csv=p=0",
                                              QString::fromLatin1(address)});
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QImage firstFrame(const QByteArray &address, const QString &dir) {
    const QString path = dir + QStringLiteral("/frame.png");
    bool ok = false;
    childprocess::runToEnd({"ffmpeg", "-nostdin", "-v", "error", "-rtsp_transport", "tcp", "-i",
                            QString::fromLatin1(address), "-frames:v", "1", "-y", path},
                           30000, &ok);
    return ok ? QImage(path) : QImage();
}

class BoxStream : public ::testing::Test {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.channels = {201, 202};
        options.unserved = {299};
        ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    }
    SetTopBox box;
};

TEST_F(BoxStream, ServesStandardDefinitionH264AndMpegAudio) {
    const Probe probe = ffprobe(box.address(201));
    ASSERT_EQ(probe.exitCode, 0) << probe.err.constData();
    EXPECT_TRUE(probe.out.contains("h264,video,720,576")) << probe.out.constData();
    EXPECT_TRUE(probe.out.contains("mp2,audio") || probe.out.contains("mp3,audio")) << probe.out.constData();
}

TEST_F(BoxStream, ChannelsDecodeToPicturesOfTheirOwnColour) {
    QTemporaryDir dir;
    for (int channel : {201, 202}) {
        SCOPED_TRACE(channel);
        const QImage frame = firstFrame(box.address(channel), dir.path());
        ASSERT_EQ(frame.size(), QSize(720, 576));
        // The margins, clear of the number and of the clock, carry the channel's colour.
        for (const QRect &margin :
             {QRect(10, 10, 100, 100), QRect(610, 10, 100, 100), QRect(610, 460, 100, 100)}) {
            const QRgb colour = averageColour(frame, margin);
            EXPECT_TRUE(looksLikeChannel(colour, channel)) << std::hex << colour;
            EXPECT_EQ(channelOfColour(colour, {201, 202}), channel);
        }
    }
}

// The first video packets a new viewer receives, "K" marking a key frame.
QList<QByteArray> firstPacketFlags(const QByteArray &address) {
    bool ok = false;
    const QByteArray out = childprocess::runToEnd(
        {"ffprobe", "-v", "quiet", "-rtsp_transport", "tcp", "-select_streams", "v", "-show_entries",
         "packet=flags", "-of", "csv=p=0", "-read_intervals", "%+#3", QString::fromLatin1(address)},
        30000, &ok);
    return out.trimmed().split('\n');
}

// A box whose encoders run for nobody and are joined where they are, not restarted on a key frame
// for each viewer: zapping then costs what it costs on a real box. With a key frame every 12
// pictures, four viewers in a row all starting on one would happen about once in 20,000 runs.
TEST_F(BoxStream, NewViewerJoinsTheRunningStreamBetweenKeyFrames) {
    bool joinedMidway = false;
    for (int attempt = 0; attempt < 4 && !joinedMidway; ++attempt) {
        const QList<QByteArray> flags = firstPacketFlags(box.address(202));
        ASSERT_FALSE(flags.isEmpty());
        joinedMidway = !flags.first().startsWith('K');
    }
    EXPECT_TRUE(joinedMidway);
}

TEST_F(BoxStream, UnservedChannelAnswersNotFound) {
    const Probe probe = ffprobe(box.address(299));
    EXPECT_NE(probe.exitCode, 0);
    EXPECT_TRUE(probe.err.contains("404") && probe.err.contains("Not Found")) << probe.err.constData();
}

TEST_F(BoxStream, FrozenChannelKeepsTheConnectionButSendsNothingUntilResumed) {
    StreamWatcher viewer;
    ASSERT_TRUE(viewer.start(box.address(201)));
    ASSERT_TRUE(waitUntil([&] { return viewer.packets() > 10; }, 20000));

    ASSERT_TRUE(box.freeze(201));
    // A second without a packet, where 25 would have come.
    ASSERT_TRUE(waitUntil([&] { return viewer.msSinceLastPacket() > 1000; }, 10000));
    const int atFreeze = viewer.packets();
    EXPECT_TRUE(viewer.isConnected());

    ASSERT_TRUE(box.resume(201));
    EXPECT_TRUE(waitUntil([&] { return viewer.packets() > atFreeze + 10; }, 10000));
}

TEST_F(BoxStream, FreezingOneChannelLeavesTheOthersPlaying) {
    StreamWatcher frozen, playing;
    ASSERT_TRUE(frozen.start(box.address(201)));
    ASSERT_TRUE(playing.start(box.address(202)));
    ASSERT_TRUE(waitUntil([&] { return frozen.packets() > 0 && playing.packets() > 0; }, 20000));

    ASSERT_TRUE(box.freeze(201));
    ASSERT_TRUE(waitUntil([&] { return frozen.msSinceLastPacket() > 1000; }, 10000));
    const int before = playing.packets();
    EXPECT_TRUE(waitUntil([&] { return playing.packets() > before + 10; }, 10000));
    EXPECT_FALSE(box.freeze(250)) << "a channel the box does not serve cannot be frozen";
}

TEST_F(BoxStream, StoppedBoxDropsItsViewersAndServesAgainWhenAsked) {
    StreamWatcher viewer;
    ASSERT_TRUE(viewer.start(box.address(202)));
    ASSERT_TRUE(waitUntil([&] { return viewer.packets() > 0; }, 20000));

    ASSERT_TRUE(box.stopServing());
    EXPECT_TRUE(waitUntil([&] { return !viewer.isConnected(); }, 15000));
    EXPECT_TRUE(ffprobe(box.address(202)).err.contains("404"));

    ASSERT_TRUE(box.serve());
    EXPECT_EQ(ffprobe(box.address(202)).exitCode, 0);
}

} // namespace
