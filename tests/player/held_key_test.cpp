#include "QtPrinting.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/warm/WarmPlayerEngine.h"

#include <gtest/gtest.h>

// Steps through a list one way in quick succession, as a held Up key makes them.
namespace {

const QList<int> kChannels = {201, 202, 203, 204, 205, 206};

class HeldKey : public ::testing::Test {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.channels = kChannels;
        ASSERT_TRUE(box.start(options)) << box.error();
        auto engine = std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>());
        warm = engine.get();
        WarmPlayerEngine::Timing timing;
        // However slowly this machine runs the steps, they count as one held key.
        timing.steppingGapMs = 60000;
        warm->setTiming(timing);
        control = std::make_unique<TVLCPlugin>(std::move(engine));
        control->resize(537, 329);
        control->show();
    }

    // As the channel list does it: the tune, then the rows after and before, alternately.
    void step(int row) {
        control->stop();
        control->addTarget(QString::fromLatin1(box.address(kChannels[row])), {"nooverlay"}, 1, 0);
        control->play();
        QStringList offered;
        for (int distance = 1; distance < kChannels.size(); ++distance) {
            for (const int neighbour : {row + distance, row - distance})
                offered << (neighbour >= 0 && neighbour < kChannels.size()
                                ? QString::fromLatin1(box.address(kChannels[neighbour]))
                                : QString());
        }
        control->setNeighbours(offered);
    }

    bool shows(int channel) {
        const QRgb colour = averageColour(control->grab().toImage(), QRect(200, 20, 137, 40));
        return control->statusText().isEmpty() && looksLikeChannel(colour, channel);
    }
    bool isWarm(int channel) {
        return warm->warmAddresses().contains(QString::fromLatin1(box.address(channel)));
    }

    SetTopBox box;
    WarmPlayerEngine *warm = nullptr;
    std::unique_ptr<TVLCPlugin> control;
};

TEST_F(HeldKey, WarmsSeveralChannelsAheadAndKeepsTheOneBehind) {
    step(0);
    step(1);
    step(2);
    // Nothing had time to show: the channels ahead warm all the same, further than the next one.
    EXPECT_TRUE(waitUntil([&] { return isWarm(204) && isWarm(205) && isWarm(206); }, 10000))
        << warm->warmAddresses().join(", ").toStdString();
    EXPECT_TRUE(waitUntil([&] { return isWarm(202); }, 5000)) << "the channel just left stays warm";
    EXPECT_FALSE(isWarm(201)) << "two rows behind is not worth a session";
    // Where the held key arrives, the channel is handed over.
    step(3);
    EXPECT_TRUE(warm->lastPlayWasHandedOver());
}

TEST_F(HeldKey, OnABoxOfFewSessionsTheWatchedChannelComesFirstAndNothingIsAskedForAgainAndAgain) {
    ASSERT_TRUE(box.setMaxSessions(3));
    QStringList statuses;
    QObject::connect(control.get(), &TVLCPlugin::statusChanged,
                     [&](const QString &text) { statuses << text; });
    step(0);
    step(1);
    step(2);
    // The channels ahead are asked for with the watched one; the box refuses some of them, or it.
    ASSERT_TRUE(waitUntil([&] { return shows(203); }, 15000)) << control->statusText();
    const int asked = warm->sessionsRequested();
    // Long enough for the refusals and for any retry a storm would make.
    waitUntil([] { return false; }, 3000);
    EXPECT_LE(warm->sessionsRequested() - asked, 2);
    EXPECT_LE(warm->warmAddresses().size(), 2);
    EXPECT_TRUE(shows(203));
    for (const QString &status : statuses)
        EXPECT_TRUE(status.isEmpty() || status == "Connexion en cours…") << status;
}

TEST_F(HeldKey, EachChannelSteppedThroughShowsItsOwnPictureBeforeAnythingIsTuned) {
    WarmPlayerEngine::Timing timing;
    timing.steppingGapMs = 60000;
    // The key never stays: whatever shows comes from the channels' warm sessions alone.
    timing.heldTuneDelayMs = 60000;
    warm->setTiming(timing);
    const auto pictured = [&](std::initializer_list<int> channels) {
        for (const int channel : channels) {
            if (!warm->picturedAddresses().contains(QString::fromLatin1(box.address(channel))))
                return false;
        }
        return true;
    };
    int painted = 0;
    QObject::connect(control.get(), &TVLCPlugin::framePainted, [&] { ++painted; });
    step(0);
    ASSERT_TRUE(waitUntil([&] { return shows(201) && pictured({202}); }, 15000)) << control->statusText();
    // The first step is handed over and plays live; a single press warms the next row only.
    step(1);
    painted = 0;
    ASSERT_TRUE(waitUntil([&] { return shows(202) && painted >= 10; }, 15000)) << control->statusText();
    ASSERT_TRUE(waitUntil([&] { return pictured({203}); }, 15000))
        << warm->picturedAddresses().join(", ").toStdString();
    // The second press the same way holds the key: the channels further ahead warm.
    step(2);
    EXPECT_TRUE(waitUntil([&] { return shows(203); }, 5000));
    ASSERT_TRUE(waitUntil(
        [&] {
            return pictured({204, 205});
        },
        15000))
        << warm->picturedAddresses().join(", ").toStdString();
    for (int row = 3; row <= 4; ++row) {
        step(row);
        EXPECT_TRUE(waitUntil([&] { return shows(kChannels[row]); }, 5000)) << kChannels[row];
    }
}

} // namespace
