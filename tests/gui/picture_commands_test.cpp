// What the user does on the picture: full screen, the volume and mute, a channel by its number,
// and the banner that names the channel.

#include "PlayerWindowFixture.h"
#include "forms/FullScreenView.h"
#include "forms/PictureCommands.h"
#include "support/Xdo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

namespace {

class PictureCommandsTest : public PlayerWindowFixture {
protected:
    void SetUp() override {
        PlayerWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(waitForChannel(201));
        focusPicture();
    }

    void focusPicture() {
        form1->activateWindow();
        form1->vlc->setFocus();
        ASSERT_TRUE(waitUntil([&] { return form1->vlc->hasFocus(); }, 5000));
    }

    PictureCommands &commands() const { return *form1->pictureCommands(); }
    FullScreenView &fullScreen() const { return *commands().fullScreen(); }
    bool overlayShows(const QString &text) const { return form1->vlc->overlayTexts().contains(text); }

    // Kept for a person to look at when HALCYON_TEST_SHOTS names a folder.
    static void keepShot(const QImage &image, const char *name) {
        const QString folder = qEnvironmentVariable("HALCYON_TEST_SHOTS");
        if (!folder.isEmpty())
            image.save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    }

    // The bottom of the picture, above the black bar under it, darkened by the banner.
    static bool hasBanner(const QImage &screen) {
        const int x = screen.width() * 9 / 10;
        int bottom = screen.height() - 1;
        while (bottom > 0 && qGray(screen.pixel(x, bottom)) < 8)
            --bottom;
        const QRgb seen = averageColour(screen, QRect(x - 10, bottom - 70, 20, 20));
        const QRgb channel = channelRgb(201);
        return qRed(seen) + qGreen(seen) + qBlue(seen) <
               (qRed(channel) + qGreen(channel) + qBlue(channel)) * 6 / 10;
    }

    // The channel's colour at these points of the screen, spread to its four sides and clear of
    // the banner.
    static bool channelFillsScreen(const QImage &screen, int channel) {
        const int w = screen.width(), h = screen.height();
        for (const QPoint &at : {QPoint(w * 97 / 100, h / 2), QPoint(w * 3 / 100, h * 3 / 4),
                                 QPoint(w * 3 / 4, h * 15 / 100), QPoint(w * 3 / 4, h * 70 / 100)}) {
            if (!looksLikeChannel(averageColour(screen, QRect(at - QPoint(8, 8), QSize(16, 16))), channel))
                return false;
        }
        return true;
    }
};

TEST_F(PictureCommandsTest, FullScreenShowsThePictureAloneAndGivesItBackToTheWindowInItsPlace) {
    const QPoint home = form1->pos();
    const QRect screen = form1->screen()->geometry();
    // A point of the skin right of the picture, as the screen shows it before; in full screen the
    // channel's plain background lies there.
    const QPoint skinPoint = home + QPoint(645, 325);
    const QRect skinArea(skinPoint, QSize(12, 12));
    const QRgb skinColour = averageColour(screenshotRoot(), skinArea);
    ASSERT_FALSE(looksLikeChannel(skinColour, 201));

    const QPoint centre = screenCentre(form1->vlc);
    ASSERT_TRUE(xdo::mouseMove(centre.x(), centre.y()));
    ASSERT_TRUE(xdo::doubleClick());
    ASSERT_TRUE(
        waitUntil([&] { return fullScreen().isActive() && fullScreen().geometry() == screen; }, 10000));
    EXPECT_EQ(form1->vlc->size(), screen.size());
    QImage shot;
    EXPECT_TRUE(waitUntil([&] { return channelFillsScreen(shot = screenshotRoot(), 201); }, 10000))
        << "the picture does not fill the screen";
    EXPECT_TRUE(looksLikeChannel(averageColour(shot, skinArea), 201)) << "the skin still shows";
    keepShot(shot, "full-screen");

    // The pointer goes once it has been still a while, and comes back when it moves.
    EXPECT_TRUE(waitUntil([&] { return fullScreen().isPointerHidden(); }, 10000));
    ASSERT_TRUE(xdo::mouseMove(centre.x() + 40, centre.y()));
    EXPECT_TRUE(waitUntil([&] { return !fullScreen().isPointerHidden(); }, 5000));

    ASSERT_TRUE(xdo::key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([&] { return !fullScreen().isActive() && !fullScreen().isVisible(); }, 10000));
    EXPECT_EQ(form1->vlc->parentWidget(), form1.get());
    EXPECT_EQ(form1->vlc->geometry(), QRect(QPoint(72, 32), TForm1::pictureSize()));
    EXPECT_EQ(form1->pos(), home);
    EXPECT_TRUE(waitUntil(
        [&] { return colourNear(averageColour(screenshotRoot(), skinArea), skinColour, 8); }, 10000))
        << "the skin did not come back";
    EXPECT_TRUE(waitForChannel(201));

    // F and F11 switch it as well.
    focusPicture();
    ASSERT_TRUE(xdo::key(QStringLiteral("f")));
    ASSERT_TRUE(waitUntil([&] { return fullScreen().isActive(); }, 10000));
    ASSERT_TRUE(xdo::key(QStringLiteral("F11")));
    ASSERT_TRUE(waitUntil([&] { return !fullScreen().isActive(); }, 10000));
    EXPECT_EQ(form1->pos(), home);
}

TEST_F(PictureCommandsTest, InFullScreenTheBannerTheListAndTheMenuComeOverThePicture) {
    form1->Image3Click();
    ASSERT_TRUE(waitForChannel(201));
    ASSERT_TRUE(waitUntil([&] { return form1->vlc->overlayTexts().isEmpty(); }, 10000));
    commands().setFullScreen(true);
    ASSERT_TRUE(waitUntil([&] { return fullScreen().isActive() && fullScreen().isVisible(); }, 10000));
    EXPECT_TRUE(overlayShows(QStringLiteral("Chaine 201"))) << "no banner on entering full screen";
    QImage shot;
    EXPECT_TRUE(
        waitUntil([&] { return channelFillsScreen(shot = screenshotRoot(), 201) && hasBanner(shot); }, 10000))
        << "the banner is not seen on the screen";
    keepShot(shot, "full-screen-banner");
    const QRect screen = fullScreen().geometry();
    form1->ListeDesChaines1->trigger();
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible(); }, 5000));
    EXPECT_EQ(form2->frameGeometry().right(), screen.right());
    // Its names are painted over the picture, so the list is on top.
    EXPECT_TRUE(waitUntil(
        [&] {
            const QImage shot = screenshotRoot();
            const QRect firstRow = QRect(form2->mapToGlobal(QPoint(12, 2)), QSize(120, 12));
            for (int x = firstRow.left(); x < firstRow.right(); ++x)
                if (colourNear(shot.pixel(x, firstRow.center().y()), qRgb(255, 255, 255), 30))
                    return true;
            return false;
        },
        10000));
    keepShot(screenshotRoot(), "full-screen-list");

    const QPoint onPicture = screenCentre(form1->vlc) - QPoint(200, 0);
    ASSERT_TRUE(xdo::mouseMove(onPicture.x(), onPicture.y()));
    ASSERT_TRUE(xdo::click(3));
    EXPECT_TRUE(waitUntil([&] { return form1->PopupMenu1->isVisible(); }, 5000));
    form1->PopupMenu1->hide();

    commands().setFullScreen(false);
    EXPECT_TRUE(waitUntil([&] { return form2->pos() == form1->pos() + QPoint(392, 35); }, 5000))
        << "the list did not go back beside the picture";
}

TEST_F(PictureCommandsTest, TheKeysAndTheWheelStepTheVolumeAndMMutesWithAnIndicator) {
    ASSERT_EQ(form1->vlc->volume(), 50);
    ASSERT_TRUE(xdo::key(QStringLiteral("plus")));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("Volume 55 %")); }, 5000));
    EXPECT_EQ(form1->vlc->volume(), 55);
    keepShot(grabWidget(form1.get()), "volume");

    ASSERT_TRUE(xdo::key(QStringLiteral("KP_Subtract")));
    ASSERT_TRUE(xdo::key(QStringLiteral("KP_Subtract")));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("Volume 45 %")); }, 5000));

    ASSERT_TRUE(xdo::key(QStringLiteral("m")));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("Son coupé")); }, 5000));
    EXPECT_TRUE(form1->vlc->isMuted());
    keepShot(grabWidget(form1.get()), "muted");

    // The wheel over the picture: a step up ends the mute.
    const QPoint centre = screenCentre(form1->vlc);
    ASSERT_TRUE(xdo::mouseMove(centre.x(), centre.y()));
    ASSERT_TRUE(xdo::click(4));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("Volume 50 %")); }, 5000));
    EXPECT_FALSE(form1->vlc->isMuted());

    // The indicator goes by itself.
    EXPECT_TRUE(waitUntil([&] { return form1->vlc->overlayTexts().isEmpty(); }, 10000));
}

TEST_F(PictureCommandsTest, DigitsTuneTheRowOfThatNumberAndAnUnknownNumberChangesNothing) {
    for (const char *digit : {"2", "0", "2"})
        ASSERT_TRUE(xdo::key(QString::fromLatin1(digit)));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("202")); }, 5000));
    keepShot(grabWidget(form1.get()), "typed-digits");
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() == 1; }, 10000));
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("202 "));
    EXPECT_TRUE(waitForChannel(202));
    // The banner names the channel chosen.
    EXPECT_TRUE(overlayShows(QStringLiteral("Chaine 202")));
    keepShot(grabWidget(form1.get()), "banner");

    for (const char *key : {"9", "KP_9", "9", "Return"})
        ASSERT_TRUE(xdo::key(QString::fromLatin1(key)));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("Chaîne 999 introuvable")); }, 5000));
    keepShot(grabWidget(form1.get()), "unknown-number");
    EXPECT_EQ(form2->ListBox1->currentRow(), 1);
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("202 "));
    EXPECT_TRUE(waitForChannel(202));
}

TEST_F(PictureCommandsTest, ATypedNumberIsCorrectedWithBackspaceAndDroppedByEscapeAnArrowOrAClick) {
    const auto typeKeys = [](const QStringList &keys) {
        for (const QString &key : keys)
            if (!xdo::key(key))
                return false;
        return true;
    };
    ASSERT_TRUE(typeKeys({"2", "0", "9", "BackSpace", "3"}));
    ASSERT_TRUE(waitUntil([&] { return overlayShows(QStringLiteral("203")); }, 5000));
    EXPECT_TRUE(waitForChannel(203));
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("203 "));

    const auto dropped = [&] {
        return waitUntil([&] { return !commands().isTypingNumber() && form1->vlc->overlayTexts().isEmpty(); },
                         5000);
    };
    ASSERT_TRUE(typeKeys({"2", "0", "2", "Escape"}));
    EXPECT_TRUE(dropped()) << "Escape kept the number";

    // In full screen the first Escape drops the number, the next leaves full screen.
    commands().setFullScreen(true);
    ASSERT_TRUE(waitUntil([&] { return fullScreen().isVisible(); }, 5000));
    ASSERT_TRUE(typeKeys({"2", "0", "1", "Escape"}));
    EXPECT_TRUE(dropped());
    EXPECT_TRUE(commands().isFullScreen()) << "the Escape that dropped the number left full screen";
    ASSERT_TRUE(typeKeys({"Escape"}));
    EXPECT_TRUE(waitUntil([&] { return !commands().isFullScreen(); }, 5000));
    focusPicture();

    ASSERT_TRUE(typeKeys({"2", "0", "1", "Up"}));
    EXPECT_TRUE(dropped()) << "Up kept the number";
    ASSERT_TRUE(typeKeys({"2", "0", "1"}));
    ASSERT_TRUE(waitUntil([&] { return commands().isTypingNumber(); }, 5000));
    const QPoint picture = screenCentre(form1->vlc);
    ASSERT_TRUE(xdo::mouseMove(picture.x(), picture.y()));
    ASSERT_TRUE(xdo::click());
    EXPECT_TRUE(dropped()) << "a click kept the number";
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_TRUE(waitForChannel(203));
}

// A key held down repeats: F, F11 and M act on the press alone.
TEST_F(PictureCommandsTest, AHeldFF11OrMActsOnce) {
    const auto press = [&](Qt::Key key, bool repeat) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(form1->vlc, &down);
    };
    for (const Qt::Key key : {Qt::Key_F, Qt::Key_F11}) {
        press(key, false);
        for (int i = 0; i < 5; ++i)
            press(key, true);
        EXPECT_TRUE(commands().isFullScreen()) << "flipped while held";
        press(key, false);
        EXPECT_FALSE(commands().isFullScreen());
    }
    press(Qt::Key_M, false);
    for (int i = 0; i < 5; ++i)
        press(Qt::Key_M, true);
    EXPECT_TRUE(form1->vlc->isMuted()) << "unmuted while held";
}

} // namespace
