// The sound track and subtitles chosen from the right-click menu, heard and seen in the window and
// in full screen.

#include "PitchSink.h"
#include "PlayerWindowFixture.h"
#include "forms/PictureCommands.h"
#include "player/playback/SoundOutput.h"

#include <QMenu>
#include <QTest>

namespace {

// The box's tones: 330 Hz plus 40 a channel number (modulo 16), the second track 200 Hz higher.
constexpr double kFirstTone = 330 + (201 % 16) * 40;
constexpr double kSecondTone = kFirstTone + 200;

class TrackMenusTest : public PlayerWindowFixture {
protected:
    QMap<int, QString> boxProfiles() const override { return {{201, QStringLiteral("two-audio")}}; }

    void SetUp() override {
        PitchSink::install();
        // Looked for anew, so that the sink of the tests is found whatever ran before.
        SoundOutput::forget();
        PlayerWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(waitForChannel(201));
        ASSERT_TRUE(waitUntil([&] { return vlc().soundTracks().size() == 2; }, 15000));
    }

    TVLCPlugin &vlc() const { return *form1->vlc; }
    QMenu *submenu(const char *name) const { return form1->PopupMenu1->findChild<QMenu *>(QLatin1String(name)); }

    // The entry of a submenu, as the menu shows it.
    QAction *entry(const char *menu, const QString &text) const {
        for (QAction *action : submenu(menu)->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    QString checked(const char *menu) const {
        for (QAction *action : submenu(menu)->actions())
            if (action->isChecked())
                return action->text();
        return {};
    }

    static bool hears(double tone) { return std::abs(PitchSink::pitch() - tone) < 40; }

    // Pixels unlike the picture's colour where the box draws its subtitles: the bottom middle.
    int subtitlePixels() const {
        const QImage picture = grabWidget(form1->vlc);
        // Clear of the box's clock, at the bottom left.
        const QRect band(picture.width() * 35 / 100, picture.height() * 8 / 10, picture.width() * 45 / 100,
                         picture.height() * 13 / 100);
        const QColor plain = picture.pixelColor(picture.width() / 2, picture.height() * 6 / 10);
        int count = 0;
        for (int y = band.top(); y <= band.bottom(); y += 2)
            for (int x = band.left(); x <= band.right(); x += 2) {
                const QColor seen = picture.pixelColor(x, y);
                count += std::abs(seen.red() - plain.red()) + std::abs(seen.green() - plain.green()) +
                             std::abs(seen.blue() - plain.blue()) >
                         90;
            }
        return count;
    }

    static void keepShot(const char *name) {
        const QString folder = qEnvironmentVariable("HALCYON_TEST_SHOTS");
        if (!folder.isEmpty())
            screenshotRoot().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    }
};

TEST_F(TrackMenusTest, EachSoundTrackChosenPlaysItsOwnTone) {
    // The menu's own items come first, in their order; the choices after them.
    const QList<QAction *> items = form1->PopupMenu1->actions();
    ASSERT_GE(items.size(), 10);
    EXPECT_EQ(items[7], form1->Exit1);
    EXPECT_EQ(items[9]->menu(), submenu("LangueAudio1"));
    EXPECT_EQ(items[10]->menu(), submenu("SousTitres1"));
    EXPECT_TRUE(items[9]->isVisible());
    EXPECT_EQ(checked("LangueAudio1"), "Français");
    ASSERT_TRUE(waitUntil([] { return hears(kFirstTone); }, 10000)) << PitchSink::pitch();

    form1->PopupMenu1->popup(form1->mapToGlobal(QPoint(500, 120)));
    submenu("LangueAudio1")->popup(form1->mapToGlobal(QPoint(500 + form1->PopupMenu1->width(), 300)));
    QTest::qWait(300);
    keepShot("menu-langue-audio");
    submenu("LangueAudio1")->hide();
    form1->PopupMenu1->hide();

    entry("LangueAudio1", "Anglais")->trigger();
    EXPECT_TRUE(waitUntil([] { return hears(kSecondTone); }, 5000)) << PitchSink::pitch();
    EXPECT_EQ(checked("LangueAudio1"), "Anglais");
    entry("LangueAudio1", "Français")->trigger();
    EXPECT_TRUE(waitUntil([] { return hears(kFirstTone); }, 5000)) << PitchSink::pitch();
    entry("LangueAudio1", "Anglais")->trigger();
    ASSERT_TRUE(waitUntil([] { return hears(kSecondTone); }, 5000));

    // The choice holds for the channel: away and back, it plays English again.
    form2->Button1Click(); // the first row, 201, tuned anew
    form2->Button1Click();
    ASSERT_TRUE(waitForChannel(202));
    EXPECT_FALSE(form1->PopupMenu1->actions()[9]->isVisible());
    form2->Button2Click();
    ASSERT_TRUE(waitForChannel(201));
    EXPECT_TRUE(waitUntil([&] { return checked("LangueAudio1") == "Anglais" && hears(kSecondTone); }, 15000))
        << PitchSink::pitch();
}

TEST_F(TrackMenusTest, DISABLED_SubtitlesChosenShowInTheWindowAndFullScreenAndGoAtAucun) {
    EXPECT_EQ(checked("SousTitres1"), "Aucun");
    QTest::qWait(1500);
    EXPECT_LT(subtitlePixels(), 10);

    entry("SousTitres1", "Français")->trigger();
    EXPECT_EQ(checked("SousTitres1"), "Français");
    // The box sends a page each second.
    ASSERT_TRUE(waitUntil([&] { return subtitlePixels() > 40; }, 10000));
    keepShot("subtitles-window");
    form1->PopupMenu1->popup(form1->mapToGlobal(QPoint(500, 120)));
    submenu("SousTitres1")->popup(form1->mapToGlobal(QPoint(500 + form1->PopupMenu1->width(), 320)));
    QTest::qWait(300);
    keepShot("menu-sous-titres");
    submenu("SousTitres1")->hide();
    form1->PopupMenu1->hide();

    form1->pictureCommands()->setFullScreen(true);
    ASSERT_TRUE(waitUntil([&] { return form1->vlc->width() > 1000 && subtitlePixels() > 40; }, 10000));
    keepShot("subtitles-full-screen");
    form1->pictureCommands()->setFullScreen(false);

    entry("SousTitres1", "Aucun")->trigger();
    // Gone at once, and stays gone while the box goes on sending pages.
    ASSERT_TRUE(waitUntil([&] { return subtitlePixels() < 10; }, 5000));
    QTest::qWait(2500);
    EXPECT_LT(subtitlePixels(), 10);
}

} // namespace
