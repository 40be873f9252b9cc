#include "QtPrinting.h"
#include "RecordingRun.h"
#include "support/ChildProcess.h"
#include "support/IndependentRelay.h"
#include "support/RecordingProbe.h"
#include "support/Screen.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"

#include <gtest/gtest.h>

// The real player against streams as broadcast boxes and other servers send them: sound-only
// channels, MPEG-2, interlaced pictures, aspect changes, a network that stalls.
namespace {

const QString kInterrupted = QStringLiteral("Flux interrompu");

// Media made with ffmpeg's test sources, a few seconds each, that the server loops.
QString make(IndependentRelay &server, const QString &name, const QStringList &arguments) {
    const QString path = server.mediaPath(name);
    bool ok = false;
    childprocess::runToEnd(QStringList{"ffmpeg", "-nostdin", "-loglevel", "error", "-y"} + arguments +
                               QStringList{path},
                           120000, &ok);
    return ok ? path : QString();
}

const QStringList kMpeg2 = {"-c:v", "mpeg2video", "-b:v", "6M",  "-g", "12",
                            "-bf",  "2",          "-c:a", "mp2", "-f", "mpegts"};

class RealStreams : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.error();
        control = std::make_unique<TVLCPlugin>();
        control->resize(537, 329);
        control->show();
        QObject::connect(control.get(), &TVLCPlugin::statusChanged,
                         [this](const QString &text) { shown.append(text); });
        QObject::connect(control.get(), &TVLCPlugin::framePainted, [this] { ++painted; });
    }

    void publish(int channel, const QString &file) {
        ASSERT_FALSE(file.isEmpty()) << "ffmpeg could not make the test media";
        ASSERT_TRUE(server.publish(channel, file));
    }

    void tune(int channel) {
        control->addTarget(QString::fromLatin1(server.address(channel)), {"nooverlay"}, 1, 0);
        control->play();
    }

    QImage picture() { return control->grab().toImage(); }
    bool playing() { return control->statusText().isEmpty() && painted > 0; }

    IndependentRelay server;
    std::unique_ptr<TVLCPlugin> control;
    QStringList shown;
    int painted = 0;
};

TEST_F(RealStreams, ARadioChannelKeepsPlayingAndSaysItHasSoundOnly) {
    publish(301,
            make(server, "radio.ts", {"-f", "lavfi", "-i", "sine=f=440:d=4", "-c:a", "mp2", "-f", "mpegts"}));
    control->setSupervisionTiming(
        {.frameTimeoutMs = 1000, .firstFrameTimeoutMs = 2500, .retryIntervalMs = 1000});
    tune(301);
    ASSERT_TRUE(waitUntil([&] { return control->statusText() == "Chaîne radio : son seul"; }, 20000))
        << control->statusText();
    // Well past the first-picture watchdog, the line has not changed: no failure, no reconnection.
    waitUntil([] { return false; }, 4000);
    EXPECT_EQ(shown.last(), "Chaîne radio : son seul") << shown.join(" | ");
    EXPECT_EQ(shown.count("Chaîne radio : son seul"), 1) << shown.join(" | ");
}

TEST_F(RealStreams, TheIndependentServersMpeg2ChannelPlaysWithItsProportions) {
    // Red 4:3 for three seconds, then 16:9, in one stream, as programmes and adverts alternate.
    const QStringList red = {"-f", "lavfi", "-i", "color=c=red:s=720x576:r=25:d=3",
                             "-f", "lavfi", "-i", "sine=d=3"};
    const QString narrow = make(server, "narrow.ts", red + QStringList{"-aspect", "4:3"} + kMpeg2);
    const QString wide = make(server, "wide.ts", red + QStringList{"-aspect", "16:9"} + kMpeg2);
    publish(202,
            make(server, "switch.ts",
                 {"-i", QStringLiteral("concat:%1|%2").arg(narrow, wide), "-c", "copy", "-f", "mpegts"}));
    tune(202);
    ASSERT_TRUE(waitUntil([&] { return playing(); }, 20000)) << control->statusText();
    // 4:3 in the 537x329 window leaves bars at the sides; 16:9 fills its width, bars above and below.
    const auto isRed = [](QRgb colour) { return colourNear(colour, qRgb(255, 0, 0), 60); };
    const auto narrowShown = [&] {
        const QImage shot = picture();
        return !isRed(shot.pixel(20, 164)) && isRed(shot.pixel(268, 164)) && isRed(shot.pixel(268, 5));
    };
    const auto wideShown = [&] {
        const QImage shot = picture();
        return isRed(shot.pixel(20, 164)) && !isRed(shot.pixel(268, 5));
    };
    EXPECT_TRUE(waitUntil(narrowShown, 10000));
    EXPECT_TRUE(waitUntil(wideShown, 10000));
    EXPECT_TRUE(waitUntil(narrowShown, 10000));
    EXPECT_FALSE(shown.contains(kInterrupted)) << shown.join(" | ");
}

// Share of pixels unlike both rows around them: the teeth a moving edge shows when the two fields
// of an interlaced picture are shown together.
double combing(const QImage &image) {
    int teeth = 0, total = 0;
    for (int y = 1; y + 1 < image.height(); ++y) {
        for (int x = 0; x < image.width(); x += 2) {
            const int above = qGray(image.pixel(x, y - 1)), here = qGray(image.pixel(x, y)),
                      below = qGray(image.pixel(x, y + 1));
            teeth += std::abs(2 * here - above - below) > 200;
            ++total;
        }
    }
    return double(teeth) / total;
}

TEST_F(RealStreams, AMovingInterlacedPictureShowsNoCombing) {
    // A white bar crossing the screen in 1 s, filmed at 50 fields a second: 14 px apart field to field.
    publish(
        203,
        make(
            server, "interlaced.ts",
            {"-f", "lavfi", "-i",
             "color=c=black:s=720x576:r=50:d=4[bg];color=c=white:s=90x576:r=50[bar];"
             "[bg][bar]overlay=x='mod(t*720,720)':y=0:shortest=1,tinterlace=mode=interleave_top,setfield=tff",
             "-flags", "+ilme+ildct", "-top", "1", "-c:v", "mpeg2video", "-b:v", "8M", "-f", "mpegts"}));
    control->resize(720, 576);
    tune(203);
    ASSERT_TRUE(waitUntil([&] { return playing(); }, 20000)) << control->statusText();
    double worst = 0;
    for (int shot = 0; shot < 10; ++shot) {
        const int before = painted;
        waitUntil([&] { return painted > before; }, 2000);
        worst = std::max(worst, combing(picture()));
    }
    EXPECT_LT(worst, 0.005) << "rows alternate on " << worst * 100 << " % of the picture";
}

TEST_F(RealStreams, AStallShorterThanTheWatchdogShowsNoFailure) {
    publish(204, make(server, "plain.ts",
                      QStringList{"-f", "lavfi", "-i", "testsrc2=s=720x576:r=25:d=4", "-f", "lavfi", "-i",
                                  "sine=d=4"} +
                          kMpeg2));
    tune(204);
    ASSERT_TRUE(waitUntil([&] { return playing(); }, 20000)) << control->statusText();
    server.pause();
    // The watchdog gives a silent stream 3 s: a 2 s stall freezes the picture and no more.
    waitUntil([] { return false; }, 2000);
    server.resume();
    const int before = painted;
    EXPECT_TRUE(waitUntil([&] { return painted > before + 25; }, 10000));
    EXPECT_FALSE(shown.contains(kInterrupted)) << shown.join(" | ");
    EXPECT_TRUE(control->statusText().isEmpty()) << control->statusText();
}

TEST_F(RealStreams, AChannelServedOverUdpOnlyRecords) {
    // This server refuses RTP interleaved in the RTSP connection.
    publish(205, make(server, "plain.ts",
                      QStringList{"-f", "lavfi", "-i", "testsrc2=s=720x576:r=25:d=4", "-f", "lavfi", "-i",
                                  "sine=d=4"} +
                          kMpeg2));
    const QString file = server.mediaPath("recorded.mpg");
    ASSERT_NO_FATAL_FAILURE(recordForAWhile(*control, server.address(205), file));
    const RecordingProbe probe = RecordingProbe::of(file);
    EXPECT_TRUE(probe.readable);
    EXPECT_EQ(probe.video["codec_name"].toString(), "mpeg2video");
}

} // namespace
