// The independent RTSP server the tests play against besides our box: what it serves, and the
// addressing quirk a client must cope with.
#include "support/ChildProcess.h"
#include "support/IndependentServer.h"
#include "support/RtspClient.h"

#include <gtest/gtest.h>

namespace {

class Independent : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start(202)) << qPrintable(server.error()); }
    IndependentServer server;
};

TEST_F(Independent, FfmpegReadsTheRelayedChannelOverUdp) {
    bool ok = false;
    const QByteArray out =
        childprocess::runToEnd({"ffprobe", "-v", "quiet", "-show_entries", "stream=codec_name,width,height",
                                "-of", "csv=p=0", QString::fromLatin1(server.address())},
                               30000, &ok);
    EXPECT_TRUE(out.contains("mpeg2video,720,576")) << out.constData();
    EXPECT_TRUE(out.contains("mp2")) << out.constData();
}

// The quirk: each stream's control is relative and there is no Content-Base; ffmpeg, above, reads
// it by appending the control to the request address.
TEST_F(Independent, ControlPathsAreRelativeToTheRequestAddressWithoutContentBase) {
    RtspClient client;
    ASSERT_TRUE(client.connectTo(quint16(server.port())));
    const RtspClient::Answer described = client.describe(server.address());
    ASSERT_EQ(described.status, 200);
    EXPECT_FALSE(described.headers.contains("content-base"));
    const QList<QByteArray> controls = RtspClient::controls(described.body, server.address());
    ASSERT_EQ(controls.size(), 2) << described.body.constData();
    EXPECT_TRUE(controls.first().startsWith(server.address() + "/streamid=")) << controls.first().constData();
}

} // namespace
