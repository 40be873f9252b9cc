#include "QtPrinting.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"
#include "player/engine/EarlyTune.h"

#include <gtest/gtest.h>

// The start-up channel begun before the player control exists, then played by the control.
namespace {

class EarlyTuneTest : public ::testing::Test {
protected:
    void start(const QStringList &boxArguments = {}) {
        SetTopBox::Options options;
        options.channels = {201, 202};
        options.unserved = {299};
        options.arguments = boxArguments;
        ASSERT_TRUE(box.start(options)) << box.error();
    }

    void begin(int channel) {
        early = std::make_unique<EarlyTune>(tuneTarget(box.address(channel), {"nooverlay"}), QSize(537, 329));
    }

    // The control as the player window makes it, then its start-up tune (no stop first).
    void playAtStartup(int channel) {
        control = std::make_unique<TVLCPlugin>(nullptr, early.get());
        control->resize(537, 329);
        control->show();
        runTuneSequence(*control, box.address(channel), {"nooverlay"}, false);
    }

    QRgb centre() { return averageColour(control->grab().toImage(), QRect(200, 20, 137, 40)); }
    bool shows(int channel) { return control->statusText().isEmpty() && looksLikeChannel(centre(), channel); }

    SetTopBox box;
    std::unique_ptr<EarlyTune> early;
    std::unique_ptr<TVLCPlugin> control;
};

TEST_F(EarlyTuneTest, TheControlTakesTheBegunStreamOverWithoutASecondSession) {
    // A second session would be refused: only the stream begun early can show.
    start({"--max-sessions", "1"});
    begin(201);
    playAtStartup(201);
    ASSERT_TRUE(waitUntil([&] { return shows(201); }, 15000)) << control->statusText();
    // It goes on as any stream: a change of channel gives its session back for the next one.
    runTuneSequence(*control, box.address(202), {"nooverlay"}, true);
    EXPECT_TRUE(waitUntil([&] { return shows(202); }, 15000)) << control->statusText();
}

TEST_F(EarlyTuneTest, AFirstPlayOfAnotherChannelShowsThatChannel) {
    start();
    begin(201);
    playAtStartup(202);
    EXPECT_TRUE(waitUntil([&] { return shows(202); }, 15000)) << control->statusText();
}

TEST_F(EarlyTuneTest, AFailureBeforeTheControlExistedIsToldOnceItPlays) {
    start();
    begin(299);
    playAtStartup(299);
    EXPECT_TRUE(
        waitUntil([&] { return control->statusText() == "Chaîne introuvable sur le décodeur"; }, 15000))
        << control->statusText();
}

} // namespace
