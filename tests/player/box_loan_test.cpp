// The player lends the box to a recording and takes it back: a tune waits for it, and a refusal
// right after its return (the box still ending the recording's session) is not told to the user.
#include "FakePlayerEngine.h"
#include "QtPrinting.h"
#include "support/Wait.h"

#include "player/warm/WarmPlayerEngine.h"

#include <gtest/gtest.h>

namespace {

const PlayTarget kChannel{QStringLiteral("rtsp://127.0.0.1:8554/orvantv/202"), {}};

TEST(BoxLoan, ATuneWaitsForTheBoxAndIsAskedAgainOnceWhenRefusedAsItComesBack) {
    auto cold = std::make_unique<FakePlayerEngine>();
    FakePlayerEngine *fake = cold.get();
    WarmPlayerEngine warm(std::move(cold));
    QList<PlayerFailure> failed;
    QObject::connect(&warm, &PlayerEngine::failed,
                     [&](PlayerFailure failure, const QString &) { failed << failure; });
    bool lent = false;
    warm.lendBox(kChannel.address, [&] { lent = true; });
    ASSERT_TRUE(waitUntil([&] { return lent; }, 5000));

    warm.play(kChannel);
    EXPECT_EQ(fake->playCount(), 0) << "the recorder still holds the box";
    warm.boxReturned(kChannel.address);
    EXPECT_EQ(fake->playCount(), 1);

    fake->sendFailure(PlayerFailure::BoxBusy);
    EXPECT_EQ(failed.size(), 0) << "refused as the box came back: asked again without a word";
    ASSERT_TRUE(waitUntil([&] { return fake->playCount() == 2; }, 5000));
    EXPECT_EQ(failed.size(), 0);

    // Refused again: that one is the box's answer, and the user is told.
    fake->sendFailure(PlayerFailure::BoxBusy);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed.at(0), PlayerFailure::BoxBusy);

    // A failure of another kind is never taken for the box still being busy.
    warm.lendBox(kChannel.address, [] {});
    warm.play(kChannel);
    warm.boxReturned(kChannel.address);
    fake->sendFailure(PlayerFailure::ChannelNotFound);
    EXPECT_EQ(failed.size(), 2);
}

} // namespace
