#include "support/FakePlayerControl.h"

#include "player/TuneSequence.h"

#include "QtPrinting.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

const QByteArray kAddress = "rtsp://127.0.0.1:8554/orvantv/201";

TEST(TuneSequence, StartUpFormQueuesThenPlaysWithoutStopping) {
    FakePlayerControl control;
    runTuneSequence(control, kAddress, {"nooverlay"}, false);
    EXPECT_EQ(control.calls,
              QStringList({"addTarget(rtsp://127.0.0.1:8554/orvantv/201, [nooverlay], 1, 0)", "play"}));
}

TEST(TuneSequence, ChannelFormStopsFirstAndRepeatsInFullForTheSameChannel) {
    FakePlayerControl control;
    runTuneSequence(control, kAddress, {"nooverlay"}, true);
    runTuneSequence(control, kAddress, {"nooverlay"}, true);
    const QStringList once = {"stop", "addTarget(rtsp://127.0.0.1:8554/orvantv/201, [nooverlay], 1, 0)",
                              "play"};
    EXPECT_EQ(control.calls, once + once);
}

TEST(TuneSequence, OptionsArriveInOrderOneElementEach) {
    FakePlayerControl control;
    const QByteArray chain = "sout=#transcode{vcodec=mp2v,vb=3072}:standard{mux=ps,url=a,b.mpg,access=file}";
    runTuneSequence(control, kAddress, {chain, "ttl=1"}, false);
    ASSERT_EQ(control.lastOptions.size(), 2);
    EXPECT_EQ(control.lastOptions.at(0), QString::fromLatin1(chain));
    EXPECT_EQ(control.lastOptions.at(1), "ttl=1");
}

TEST(TuneSequence, AddressBytesAreWidenedUnchanged) {
    FakePlayerControl control;
    runTuneSequence(control, "rtsp://décodeur/orvantv/2 ", {"nooverlay"}, false);
    EXPECT_EQ(control.lastAddress, QString::fromUtf8("rtsp://décodeur/orvantv/2 "));
}

TEST(TuneSequence, AFailingCallLeavesTheLaterOnesUnmade) {
    struct Case {
        const char *failOn;
        QStringList madeBefore;
    };
    const QList<Case> cases = {
        {"stop", {}},
        {"addTarget", {"stop"}},
        {"play", {"stop", "addTarget(rtsp://127.0.0.1:8554/orvantv/201, [nooverlay], 1, 0)"}},
    };
    for (const Case &c : cases) {
        FakePlayerControl control;
        control.failOn = c.failOn;
        EXPECT_THROW(runTuneSequence(control, kAddress, {"nooverlay"}, true), EOleException) << c.failOn;
        EXPECT_EQ(control.calls, c.madeBefore) << c.failOn;
    }
}

} // namespace
