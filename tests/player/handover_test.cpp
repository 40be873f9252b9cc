#include "QtPrinting.h"
#include "support/Wait.h"

#include "player/playback/Handover.h"
#include "player/playback/HandoverPipeline.h"
#include "player/playback/WarmSource.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

// The hand-over's states, one transition at a time, on sessions and decoders never started.
namespace {

const QString kAddress = "rtsp://box/6";

class HandoverStates : public ::testing::Test {
protected:
    // The first deadline that fires, waited for generously; none for nothing.
    std::optional<HandoverState> timedOut(int waitMs = 10000) {
        if (spy.isEmpty() && !spy.wait(waitMs))
            return std::nullopt;
        return spy.takeFirst().at(0).value<HandoverState>();
    }
    // Time for a deadline that was stopped to fire all the same if it were running.
    bool staysQuiet() {
        waitUntil([] { return false; }, 200);
        return spy.isEmpty();
    }
    std::shared_ptr<HandoverPipeline> decoder() {
        return std::make_shared<HandoverPipeline>(source, PlayerOptions(), HandoverPipeline::Events());
    }

    std::shared_ptr<WarmSource> source = std::make_shared<WarmSource>(kAddress, 50);
    Handover handover;
    QSignalSpy spy{&handover, &Handover::timedOut};
};

TEST_F(HandoverStates, AHeldKeyRestsOnTheSessionUntilItsDelayEnds) {
    EXPECT_EQ(handover.state(), HandoverState::Idle);
    EXPECT_TRUE(handover.address().isEmpty());
    handover.hold(source, 1);
    EXPECT_EQ(handover.state(), HandoverState::HeldKey);
    EXPECT_EQ(handover.address(), kAddress);
    EXPECT_EQ(timedOut(), HandoverState::HeldKey);
    EXPECT_EQ(handover.state(), HandoverState::HeldKey) << "the owner decides what comes next";

    // A held key on a channel with no warm session holds nothing.
    handover.hold(nullptr, 1);
    EXPECT_TRUE(handover.address().isEmpty());
    EXPECT_EQ(timedOut(), HandoverState::HeldKey);
}

TEST_F(HandoverStates, AwaitingAKeyFrameEndsByItsDeadlineUnlessADecoderStartsFirst) {
    handover.awaitKeyFrame(source, 1);
    EXPECT_EQ(handover.state(), HandoverState::AwaitingKeyFrame);
    EXPECT_EQ(timedOut(), HandoverState::AwaitingKeyFrame);

    handover.awaitKeyFrame(source, 100);
    handover.start(source, decoder(), 60000);
    EXPECT_EQ(handover.state(), HandoverState::Starting);
    EXPECT_TRUE(staysQuiet()) << "the key frame came: its deadline no longer runs";
}

TEST_F(HandoverStates, AStartedDecoderGoesLiveOnItsFirstPictureOrTimesOut) {
    const std::shared_ptr<HandoverPipeline> pipeline = decoder();
    handover.start(source, pipeline, 1);
    EXPECT_EQ(handover.pipeline(), pipeline);
    EXPECT_EQ(timedOut(), HandoverState::Starting);

    handover.start(source, pipeline, 100);
    handover.goLive();
    EXPECT_EQ(handover.state(), HandoverState::Live);
    EXPECT_TRUE(staysQuiet());
    EXPECT_EQ(handover.address(), kAddress);

    // Only a starting decoder goes live.
    handover.reset();
    handover.hold(source, 60000);
    handover.goLive();
    EXPECT_EQ(handover.state(), HandoverState::HeldKey);
}

TEST_F(HandoverStates, FallingBackGivesTheSessionUpAndStopsTheDeadline) {
    const std::shared_ptr<HandoverPipeline> pipeline = decoder();
    handover.start(source, pipeline, 100);
    EXPECT_EQ(handover.fallBack("no picture in time"), source);
    EXPECT_EQ(handover.state(), HandoverState::FallingBack);
    EXPECT_TRUE(handover.address().isEmpty()) << "its session is no longer the watched channel's";
    EXPECT_EQ(handover.takePipeline(), pipeline);
    EXPECT_EQ(handover.pipeline(), nullptr);
    EXPECT_EQ(handover.state(), HandoverState::FallingBack);
    EXPECT_TRUE(staysQuiet());
}

TEST_F(HandoverStates, TheNextPlayResetsToIdleFromAnyStateAndHandsBackTheDecoder) {
    const std::shared_ptr<HandoverPipeline> pipeline = decoder();
    handover.start(source, pipeline, 100);
    EXPECT_EQ(handover.reset(), pipeline);
    EXPECT_EQ(handover.state(), HandoverState::Idle);
    EXPECT_EQ(handover.source(), nullptr);
    EXPECT_TRUE(staysQuiet());
    handover.hold(source, 100);
    EXPECT_EQ(handover.reset(), nullptr);
    EXPECT_EQ(handover.state(), HandoverState::Idle);
    EXPECT_TRUE(staysQuiet());
}

} // namespace
