#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/ring/KeyFrameChain.h"
#include "player/warm/WarmSource.h"

#include <gtest/gtest.h>

// A warm channel's session on its own, against a box that sends elementary streams, each its own
// RTP session, and takes them over TCP only.
namespace {

TEST(WarmSource, ElementaryStreamsOverTcpAreHeldFromAKeyFrameThatShowsTheChannel) {
    gst_init(nullptr, nullptr);
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = {202};
    options.profile = QStringLiteral("elementary");
    options.arguments = {"--transport", "tcp"};
    ASSERT_TRUE(box.start(options)) << qPrintable(box.error());

    WarmSource source(QString::fromLatin1(box.address(202)), 50);
    source.open();
    ASSERT_TRUE(
        waitUntil([&] { return source.isReady(500) && !source.heldKeyFrame().elementary.isEmpty(); }, 15000));
    const TsRing::KeyFrame key = source.heldKeyFrame();
    EXPECT_EQ(key.streamType, 0x1B);
    KeyFrameChain chain(key.streamType, QSize(360, 288));
    const PictureSink::Picture picture = chain.decode(key.elementary);
    ASSERT_FALSE(picture.image.isNull());
    const QRect band(picture.image.width() * 3 / 8, picture.image.height() / 20, picture.image.width() / 4,
                     picture.image.height() / 10);
    EXPECT_TRUE(looksLikeChannel(averageColour(picture.image, band), 202));

    EXPECT_FALSE(source.hasFailed());
    source.close();
}

} // namespace
