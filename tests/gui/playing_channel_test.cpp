// What names the picture (the banner, the desktop's media controls) names the channel that plays,
// and the media controls follow the keys' rules: nothing behind an error box, a radio channel plays.

#include "PlayerWindowFixture.h"
#include "app/PlayerMediaControls.h"
#include "desktop/MprisPlayerAdaptor.h"
#include "forms/PictureCommands.h"
#include "player/engine/PlaybackSupervisor.h"

#include <QApplication>
#include <QSignalSpy>

namespace {

class PlayingChannelTest : public PlayerWindowFixture {
protected:
    // A fourth row whose address line is missing from the file.
    QByteArray playlistTail() const override { return "#EXTINF:-1,206 - Sans adresse\n"; }

    void SetUp() override {
        PlayerWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(waitForChannel(201));
        controls = std::make_unique<PlayerMediaControls>(*form1, *form2, lineup);
    }
    void TearDown() override {
        qApp->setProperty("errorBoxOpen", QVariant());
        controls.reset();
        PlayerWindowFixture::TearDown();
    }

    bool overlayShows(const QString &text) const { return form1->vlc->overlayTexts().contains(text); }

    std::unique_ptr<PlayerMediaControls> controls;
};

TEST_F(PlayingChannelTest, ARowThatFailedIsHighlightedButTheChannelBeforeIsTheOneNamed) {
    for (int step = 0; step < 3; ++step)
        form1->Image3Click();
    ASSERT_TRUE(waitForChannel(203));
    EXPECT_ANY_THROW(form1->Image3Click());
    EXPECT_EQ(form2->ListBox1->currentRow(), 3);
    EXPECT_EQ(controls->title(), QStringLiteral("203 - Chaine 203"));

    form1->pictureCommands()->setFullScreen(true);
    EXPECT_TRUE(overlayShows(QStringLiteral("Chaine 203")))
        << qPrintable(form1->vlc->overlayTexts().join(" | "));
    EXPECT_FALSE(overlayShows(QStringLiteral("Sans adresse")));
    form1->pictureCommands()->setFullScreen(false);

    // Behind the error box of that step, as the keys, the media controls do not tune.
    qApp->setProperty("errorBoxOpen", true);
    controls->previous();
    controls->next();
    EXPECT_EQ(form2->ListBox1->currentRow(), 3);
    qApp->setProperty("errorBoxOpen", QVariant());

    // Play plays the channel that plays again, not the row that failed.
    QSignalSpy titles(controls.get(), &MediaControls::titleChanged);
    EXPECT_NO_THROW(controls->play());
    EXPECT_TRUE(waitForChannel(203));
    EXPECT_EQ(controls->title(), QStringLiteral("203 - Chaine 203"));
    controls->previous();
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_GE(titles.count(), 1);
}

class RadioChannelTest : public PlayerWindowFixture {
protected:
    QMap<int, QString> boxProfiles() const override { return {{202, QStringLiteral("radio")}}; }
};

// The adaptor is asked directly, on no bus: a private bus going away at the end would end this
// process: GLib's shared connection, which playback's libraries open, raises SIGTERM when it closes.
TEST_F(RadioChannelTest, TheMediaControlsTellARadioChannelAsPlayingAndPauseIt) {
    ASSERT_TRUE(waitForChannel(201));
    PlayerMediaControls controls(*form1, *form2, lineup);
    QObject service;
    MprisPlayerAdaptor mpris(&service, controls);
    form1->Image3Click();
    form1->Image3Click();
    ASSERT_TRUE(
        waitUntil([&] { return form1->vlc->statusText() == PlaybackSupervisor::soundOnlyText(); }, 20000));
    EXPECT_EQ(mpris.playbackStatus(), QStringLiteral("Playing"));

    // Kept as a picture is: it pauses and resumes without a new tune.
    mpris.PlayPause();
    EXPECT_EQ(mpris.playbackStatus(), QStringLiteral("Paused"));
    EXPECT_EQ(form1->vlc->statusText(), PlaybackSupervisor::soundOnlyText());
    mpris.PlayPause();
    EXPECT_TRUE(waitUntil([&] { return mpris.playbackStatus() == QLatin1String("Playing"); }, 20000));
    EXPECT_EQ(form1->vlc->statusText(), PlaybackSupervisor::soundOnlyText());
    EXPECT_EQ(form2->ListBox1->currentRow(), 1);
}

} // namespace
