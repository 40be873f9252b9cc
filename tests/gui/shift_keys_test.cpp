// The keys that pause and move through the kept channel, on the window and in full screen, reach
// the engine's control, and the picture tells where it plays.
#include "channels/ChannelLineup.h"
#include "forms/FullScreenView.h"
#include "forms/PictureCommands.h"
#include "forms/Unit2.h"
#include "player/FakePlayerEngine.h"
#include "player/FakeShiftControl.h"
#include "player/PlayQueue.h"
#include "player/TVLCPlugin.h"
#include "programmes/ProgrammeGuide.h"
#include "support/Screen.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QMenu>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

const QString kMinus(QChar(0x2212));

class ShiftKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto owned = std::make_unique<FakePlayerEngine>();
        engine = owned.get();
        engine->shift = &shift;
        window.setWindowTitle(QStringLiteral("Halcyon"));
        window.resize(600, 380);
        picture = new TVLCPlugin(std::move(owned), &window);
        picture->setGeometry(30, 20, 537, 329);
        picture->setFocusPolicy(Qt::StrongFocus);
        commands = std::make_unique<PictureCommands>(picture, &window, &menu, lineup);
        picture->addTarget(QStringLiteral("rtsp://127.0.0.1/orvantv/201"), {}, PlayQueue::kInsertMode, 0);
        picture->play();
        engine->sendFrame(QColor(40, 90, 160));
        window.show();
        ASSERT_TRUE(
            waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10000));
        window.activateWindow();
        picture->setFocus();
        ASSERT_TRUE(waitUntil([&] { return picture->hasFocus(); }, 5000));
    }
    void TearDown() override { commands->setFullScreen(false); }

    // Presses a key through the X server and waits for the control to be asked, or not.
    bool press(const char *keys, const QString &expected) {
        const qsizetype before = shift.calls.size();
        if (!xdo::key(QString::fromLatin1(keys)))
            return false;
        if (expected.isEmpty())
            return !waitUntil([&] { return shift.calls.size() > before; }, 500);
        return waitUntil([&] { return shift.calls.size() > before; }, 5000) && shift.calls.last() == expected;
    }
    bool shows(const QString &text) const {
        return waitUntil([&] { return picture->overlayTexts().contains(text); }, 5000);
    }

    FakeShiftControl shift;
    FakePlayerEngine *engine = nullptr;
    QWidget window;
    QMenu menu;
    ProgrammeGuide guide;
    ChannelLineup lineup{&guide};
    TVLCPlugin *picture = nullptr;
    std::unique_ptr<PictureCommands> commands;
};

TEST_F(ShiftKeysTest, TheKeysPauseAndMoveOnTheWindowAndInFullScreenAndThePictureTellsWhere) {
    ASSERT_TRUE(press("space", QStringLiteral("togglePause")));
    EXPECT_TRUE(shows(QStringLiteral("Pause ") + kMinus + QStringLiteral("00:00")));
    // Time passes while paused: the text counts on by itself.
    shift.at.behindMs = 42000;
    EXPECT_TRUE(shows(QStringLiteral("Pause ") + kMinus + QStringLiteral("00:42")))
        << qPrintable(picture->overlayTexts().join(" | "));
    keepShot(grabWidget(picture), "shift_pause");

    ASSERT_TRUE(press("Left", QStringLiteral("seekBy -10000")));
    ASSERT_TRUE(press("shift+Left", QStringLiteral("seekBy -60000")));
    ASSERT_TRUE(press("space", QStringLiteral("togglePause")));
    EXPECT_TRUE(shows(QStringLiteral("Différé ") + kMinus + QStringLiteral("01:52")));
    ASSERT_TRUE(press("Right", QStringLiteral("seekBy 10000")));
    ASSERT_TRUE(press("shift+Right", QStringLiteral("seekBy 60000")));
    ASSERT_TRUE(press("Home", QStringLiteral("toOldest")));
    ASSERT_TRUE(press("End", QStringLiteral("toLive")));
    EXPECT_TRUE(shows(QStringLiteral("Direct")));

    // The same keys in full screen, with the bar of the kept span under the time behind.
    commands->setFullScreen(true);
    ASSERT_TRUE(waitUntil([&] { return commands->fullScreen()->isActive() && picture->hasFocus(); }, 10000));
    ASSERT_TRUE(press("shift+Left", QStringLiteral("seekBy -60000")));
    ASSERT_TRUE(press("Left", QStringLiteral("seekBy -10000")));
    EXPECT_TRUE(shows(QStringLiteral("Différé ") + kMinus + QStringLiteral("01:10")));
    keepShot(screenshotRoot(), "shift_bar");

    shift.refuseWith = QStringLiteral("espace disque insuffisant");
    ASSERT_TRUE(press("space", QStringLiteral("togglePause")));
    EXPECT_TRUE(shows(QStringLiteral("Pause du direct indisponible : espace disque insuffisant")));
    commands->setFullScreen(false);

    // Nothing kept: the keys ask nothing and show nothing.
    engine->shift = nullptr;
    picture->watchShift(nullptr);
    EXPECT_TRUE(press("space", QString()));
    EXPECT_TRUE(press("Left", QString()));
    EXPECT_TRUE(picture->overlayTexts().filter(QStringLiteral("Pause")).isEmpty());
}

} // namespace
