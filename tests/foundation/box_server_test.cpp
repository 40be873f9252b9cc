// The box's server behaviours and network faults as a bare RTSP client sees them: refused
// transports, a session limit, sessions that time out, lost and held packets, stalls, restarts.
#include "support/RtspClient.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

// A UDP port for the client's side of a SETUP; the box only sends there once playing.
constexpr int kClientPort = 40000;

class BoxServer : public ::testing::Test {
protected:
    void startBox(const QStringList &arguments = {}) {
        SetTopBox::Options options;
        options.channels = {201};
        options.arguments = arguments;
        ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    }

    // A client playing channel 201 over interleaved TCP.
    void play(RtspClient &client) {
        ASSERT_TRUE(client.connectTo(quint16(box.port())));
        const RtspClient::Answer described = client.describe(box.address(201));
        ASSERT_EQ(described.status, 200);
        const QByteArray control = RtspClient::controls(described.body, box.address(201)).value(0);
        ASSERT_EQ(client.setupTcp(control).status, 200);
        ASSERT_EQ(client.play(box.address(201)).status, 200);
        ASSERT_TRUE(waitUntil([&] { return client.rtpPackets() > 20; }, 20000));
    }

    int setupStatus(bool overTcp) {
        RtspClient client;
        if (!client.connectTo(quint16(box.port())))
            return -1;
        const RtspClient::Answer described = client.describe(box.address(201));
        const QByteArray control = RtspClient::controls(described.body, box.address(201)).value(0);
        return (overTcp ? client.setupTcp(control) : client.setupUdp(control, kClientPort)).status;
    }

    SetTopBox box;
};

TEST_F(BoxServer, TcpOnlyBoxAnswers461ToUdpSetup) {
    startBox({"--transport", "tcp"});
    EXPECT_EQ(setupStatus(false), 461);
    EXPECT_EQ(setupStatus(true), 200);
}

TEST_F(BoxServer, UdpOnlyBoxAnswers461ToInterleavedSetupAndTheCommandSwitchesBack) {
    startBox();
    ASSERT_TRUE(box.setTransport("udp"));
    EXPECT_EQ(setupStatus(true), 461);
    EXPECT_EQ(setupStatus(false), 200);
    ASSERT_TRUE(box.setTransport("any"));
    EXPECT_EQ(setupStatus(true), 200);
}

TEST_F(BoxServer, SetupBeyondTheSessionLimitIsRefused) {
    startBox({"--max-sessions", "1"});
    RtspClient first;
    play(first);
    const int refused = setupStatus(true);
    EXPECT_TRUE(refused == 453 || refused == 503) << refused;

    // Once the first viewer has gone, its place is free again.
    first.request("TEARDOWN", box.address(201));
    EXPECT_TRUE(waitUntil([&] { return setupStatus(true) == 200; }, 10000));
}

TEST_F(BoxServer, SessionWithoutKeepAliveIsDroppedAndOneWithKeepAlivesLasts) {
    startBox({"--session-timeout", "2"});
    RtspClient silent, talking;
    play(silent);
    play(talking);
    QElapsedTimer sinceKeepAlive;
    sinceKeepAlive.start();
    // Six seconds: three times the timeout, past the box's once-a-second check.
    const bool dropped = waitUntil(
        [&] {
            if (sinceKeepAlive.elapsed() > 800) {
                talking.keepAlive(box.address(201));
                sinceKeepAlive.restart();
            }
            talking.rtpPackets();
            return silent.msSinceLastPacket() > 1500 || !silent.isConnected();
        },
        6000);
    EXPECT_TRUE(dropped);
    EXPECT_LT(talking.msSinceLastPacket(), 1000);
    EXPECT_TRUE(talking.isConnected());
}

// Viewers that come one after another each get the stream at once, on a busy machine too: none
// is left waiting on a first packet stamped before its own pipeline had a running time.
TEST_F(BoxServer, EachOfManyViewersInARowIsSentTheStream) {
    startBox();
    for (int viewer = 0; viewer < 12 && !HasFatalFailure(); ++viewer) {
        RtspClient client;
        play(client);
    }
}

TEST_F(BoxServer, LossDropsThatShareOfPacketsAndStopsWhenSetToZero) {
    startBox({"--loss", "20"});
    RtspClient client;
    play(client);
    ASSERT_TRUE(waitUntil([&] { return client.rtpPackets() > 500; }, 20000));
    const double share = double(client.missingPackets()) / (client.rtpPackets() + client.missingPackets());
    EXPECT_GT(share, 0.1);
    EXPECT_LT(share, 0.3);

    ASSERT_TRUE(box.setLoss(0));
    // Packets already queued may still have been thinned; count from a little later.
    const int seen = client.rtpPackets() + 50;
    ASSERT_TRUE(waitUntil([&] { return client.rtpPackets() > seen; }, 10000));
    const int missingBefore = client.missingPackets();
    const int packetsBefore = client.rtpPackets();
    ASSERT_TRUE(waitUntil([&] { return client.rtpPackets() > packetsBefore + 300; }, 20000));
    EXPECT_EQ(client.missingPackets(), missingBefore);
}

TEST_F(BoxServer, JitterHoldsPacketsBackWithoutLosingThem) {
    startBox();
    RtspClient client;
    play(client);
    ASSERT_TRUE(box.setJitter(400));
    const int start = client.rtpPackets();
    ASSERT_TRUE(
        waitUntil([&] { return client.rtpPackets() > start + 400 && client.longestGapMs() >= 150; }, 20000))
        << client.longestGapMs();
    EXPECT_EQ(client.missingPackets(), 0);
}

TEST_F(BoxServer, StallSendsNothingForItsLengthThenGoesOn) {
    startBox();
    RtspClient client;
    play(client);
    ASSERT_TRUE(box.stall(1500, 201));
    ASSERT_TRUE(waitUntil([&] { return client.msSinceLastPacket() > 1000; }, 5000));
    const int atStall = client.rtpPackets();
    EXPECT_TRUE(waitUntil([&] { return client.rtpPackets() > atStall + 20; }, 5000));
    EXPECT_TRUE(client.isConnected());
}

TEST_F(BoxServer, RestartDropsViewersClosesThePortAndComesBackOnIt) {
    startBox();
    RtspClient viewer;
    play(viewer);
    const int port = box.port();
    ASSERT_TRUE(box.command("restart 3000"));
    EXPECT_TRUE(waitUntil([&] { return viewer.rtpPackets() >= 0 && !viewer.isConnected(); }, 5000));
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    EXPECT_FALSE(probe.waitForConnected(1000)) << "the port stays closed while the box is down";

    EXPECT_TRUE(box.restart(500)) << "the box announces its return on the same port";
    RtspClient again;
    play(again);
}

TEST_F(BoxServer, IgnoredTeardownIsAnswered501AndTheSessionSendsUntilItTimesOut) {
    startBox({"--teardown", "ignore", "--max-sessions", "1", "--session-timeout", "2"});
    RtspClient client;
    play(client);
    EXPECT_EQ(client.request("TEARDOWN", box.address(201)).status, 501);
    const int before = client.rtpPackets();
    EXPECT_TRUE(waitUntil([&] { return client.rtpPackets() > before + 20; }, 5000));
    const SetTopBox::Sessions counted = box.sessions();
    EXPECT_EQ(counted.held, 1);
    EXPECT_EQ(counted.peakViewers.value(201), 1);
    // Still the box's one session: a second viewer is refused until it times out.
    const int refused = setupStatus(true);
    EXPECT_TRUE(refused == 453 || refused == 503) << refused;
    EXPECT_TRUE(waitUntil([&] { return setupStatus(true) == 200; }, 10000));

    // Answered again, from the next TEARDOWN on (the probe above holds the one session).
    ASSERT_TRUE(box.ignoreTeardown(false));
    ASSERT_TRUE(box.setMaxSessions(0));
    RtspClient again;
    play(again);
    EXPECT_EQ(again.request("TEARDOWN", box.address(201)).status, 200);
}

TEST_F(BoxServer, RefusesMalformedCommands) {
    startBox();
    for (const char *line : {"loss 150", "jitter -1", "transport sctp", "max-sessions x", "stall",
                             "freeze 250", "teardown", "teardown never"})
        EXPECT_FALSE(box.command(line)) << line;
}

} // namespace
