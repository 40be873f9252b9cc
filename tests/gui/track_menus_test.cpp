// The sound track and subtitles chosen from the right-click menu, heard and seen in the window and
// in full screen.

#include "PitchSink.h"
#include "PlayerWindowFixture.h"
#include "forms/PictureCommands.h"
#include "player/pipeline/SoundOutput.h"
#include "settopbox/TrackProfile.h"

#include <QMenu>
#include <QTest>

namespace {

using namespace halcyon::settopbox;

class TrackMenusTest : public PlayerWindowFixture {
protected:
    // 201 marks its audio description with its audio type, 202 with the language code "qad".
    QMap<int, QString> boxProfiles() const override {
        return {{201, QLatin1String(kTracksProfile)}, {202, QLatin1String(kTracksQadProfile)}};
    }

    void SetUp() override {
        PitchSink::install();
        // Looked for anew, so that the sink of the tests is found whatever ran before.
        SoundOutput::forget();
        PlayerWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(waitForChannel(201));
        ASSERT_TRUE(waitUntil([&] { return vlc().soundTracks().size() == 3; }, 15000));
    }

    TVLCPlugin &vlc() const { return *form1->vlc; }
    QMenu *submenu(const char *name) const {
        return form1->PopupMenu1->findChild<QMenu *>(QLatin1String(name));
    }

    // The entry of a submenu, as the menu shows it.
    QAction *entry(const char *menu, const QString &text) const {
        for (QAction *action : submenu(menu)->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    QStringList entries(const char *menu) const {
        QStringList texts;
        for (QAction *action : submenu(menu)->actions())
            texts << action->text();
        return texts;
    }
    QString checked(const char *menu) const {
        for (QAction *action : submenu(menu)->actions())
            if (action->isChecked())
                return action->text();
        return {};
    }

    static bool hears(int tone) { return std::abs(PitchSink::pitch() - tone) < 60; }

    struct Yellow {
        int pixels = 0;
        int rows = 0;
        int height = 0;
    };
    // The French subtitles' yellow in the bottom of the picture, wherever it is shown: how much of
    // it, and on how many rows.
    Yellow yellow() const {
        const QImage picture = grabWidget(form1->vlc);
        Yellow seen{0, 0, picture.height()};
        for (int y = picture.height() * 7 / 10; y < picture.height(); ++y) {
            int inRow = 0;
            for (int x = 0; x < picture.width(); x += 2) {
                const QColor pixel = picture.pixelColor(x, y);
                inRow += pixel.red() > 200 && pixel.green() > 200 && pixel.blue() < 90;
            }
            seen.pixels += inRow;
            seen.rows += inRow > 0;
        }
        return seen;
    }
    bool showsSubtitles() const { return yellow().pixels > 60; }
    // The whole line, not a row of dots along its top: the box's letters stand a twentieth of the
    // picture high, their yellow on at least a fiftieth of its rows.
    bool showsWholeSubtitles() const {
        const Yellow seen = yellow();
        return seen.pixels > 60 && seen.rows * 50 >= seen.height;
    }
    // Watched over more than one period of the box's subtitles.
    bool subtitlesStayAway() const {
        return !waitUntil([&] { return showsSubtitles(); }, (kSubtitlePeriodSeconds + 1) * 1000, 100);
    }

    static void keepShot(const char *name) {
        const QString folder = qEnvironmentVariable("HALCYON_TEST_SHOTS");
        if (!folder.isEmpty())
            screenshotRoot().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    }
    void showSubmenu(const char *name, int y) {
        form1->PopupMenu1->popup(form1->mapToGlobal(QPoint(500, 120)));
        submenu(name)->popup(form1->mapToGlobal(QPoint(500 + form1->PopupMenu1->width(), y)));
        waitUntil([&] { return submenu(name)->isVisible(); }, 2000);
        QTest::qWait(200);
    }
    void hideMenus(const char *name) {
        submenu(name)->hide();
        form1->PopupMenu1->hide();
    }
};

TEST_F(TrackMenusTest, EachSoundTrackChosenPlaysItsOwnToneAndTheChoiceHoldsForItsChannel) {
    // The menu's own items come first, in their order; the choices after them.
    const QList<QAction *> items = form1->PopupMenu1->actions();
    ASSERT_GE(items.size(), 11);
    EXPECT_EQ(items[7], form1->Exit1);
    EXPECT_EQ(items[9]->menu(), submenu("LangueAudio1"));
    EXPECT_EQ(items[10]->menu(), submenu("SousTitres1"));
    EXPECT_TRUE(items[9]->isVisible());
    EXPECT_EQ(entries("LangueAudio1"), QStringList({"Français", "Anglais", "Audiodescription"}));
    EXPECT_EQ(checked("LangueAudio1"), "Français");
    ASSERT_TRUE(waitUntil([] { return hears(kFrenchToneHz); }, 10000)) << PitchSink::pitch();
    showSubmenu("LangueAudio1", 300);
    keepShot("menu-langue-audio");
    hideMenus("LangueAudio1");

    for (const auto &[name, tone] :
         {std::pair{"Anglais", kEnglishToneHz}, std::pair{"Audiodescription", kDescriptionToneHz},
          std::pair{"Français", kFrenchToneHz}, std::pair{"Anglais", kEnglishToneHz}}) {
        entry("LangueAudio1", name)->trigger();
        EXPECT_TRUE(waitUntil([tone = tone] { return hears(tone); }, 5000))
            << name << " " << PitchSink::pitch();
        EXPECT_EQ(checked("LangueAudio1"), name);
    }

    // Away and back, the channel plays English again; the other channel has its own first choice,
    // never its audio description (named by its language code there).
    form2->Button1Click(); // the first row, 201, tuned anew
    form2->Button1Click();
    ASSERT_TRUE(waitForChannel(202));
    ASSERT_TRUE(waitUntil([&] { return vlc().soundTracks().size() == 3; }, 15000));
    EXPECT_EQ(entries("LangueAudio1"), QStringList({"Français", "Anglais", "Audiodescription"}));
    EXPECT_EQ(checked("LangueAudio1"), "Français");
    EXPECT_TRUE(waitUntil([] { return hears(kFrenchToneHz); }, 10000)) << PitchSink::pitch();
    PitchSink::reset();
    form2->Button2Click();
    ASSERT_TRUE(waitForChannel(201));
    EXPECT_TRUE(
        waitUntil([&] { return checked("LangueAudio1") == "Anglais" && hears(kEnglishToneHz); }, 15000))
        << PitchSink::pitch();
    // English from its first sound, not the stream's first track until the choice comes.
    EXPECT_NEAR(PitchSink::firstPitch(), kEnglishToneHz, 60);
}

TEST_F(TrackMenusTest,
       SubtitlesChosenShowInTheWindowAndFullScreenAndGoWhenTheirTimeEndsAtAucunAndOnAnotherChannel) {
    EXPECT_EQ(entries("SousTitres1"), QStringList({"Aucun", "Français (malentendants)", "Anglais"}));
    EXPECT_EQ(checked("SousTitres1"), "Aucun");
    EXPECT_TRUE(subtitlesStayAway());

    entry("SousTitres1", "Français (malentendants)")->trigger();
    EXPECT_EQ(checked("SousTitres1"), "Français (malentendants)");
    ASSERT_TRUE(waitUntil([&] { return showsWholeSubtitles(); }, 10000))
        << yellow().rows << " rows of " << yellow().height;
    keepShot("subtitles-window");
    // Each line shows for its time only.
    EXPECT_TRUE(waitUntil([&] { return !showsSubtitles(); }, kSubtitlePeriodSeconds * 1000, 50));
    showSubmenu("SousTitres1", 320);
    keepShot("menu-sous-titres");
    hideMenus("SousTitres1");

    form1->pictureCommands()->setFullScreen(true);
    ASSERT_TRUE(waitUntil([&] { return form1->vlc->width() > 1000 && showsWholeSubtitles(); }, 10000))
        << yellow().rows << " rows of " << yellow().height;
    keepShot("subtitles-full-screen");
    form1->pictureCommands()->setFullScreen(false);

    ASSERT_TRUE(waitUntil([&] { return showsSubtitles(); }, 10000));
    entry("SousTitres1", "Aucun")->trigger();
    EXPECT_TRUE(waitUntil([&] { return !showsSubtitles(); }, 1000, 20));
    EXPECT_TRUE(subtitlesStayAway());

    entry("SousTitres1", "Français (malentendants)")->trigger();
    ASSERT_TRUE(waitUntil([&] { return showsSubtitles(); }, 10000));
    form2->Button1Click();
    form2->Button1Click();
    ASSERT_TRUE(waitForChannel(202));
    EXPECT_EQ(checked("SousTitres1"), "Aucun");
    EXPECT_TRUE(subtitlesStayAway());
}

} // namespace
