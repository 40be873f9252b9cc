// The sound and subtitle menus, refreshed at every change of track as a channel plays, hold no
// more than what they show.
#include "forms/TrackMenus.h"
#include "player/FakePlayerEngine.h"
#include "player/PlayerController.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

template <typename T> int childrenOf(const QMenu *menu) {
    return int(menu->findChildren<T *>(QString(), Qt::FindDirectChildrenOnly).size());
}

TEST(TrackMenus, ManyRefreshesAndChoicesLeaveOneGroupAndTheEntriesShown) {
    auto engine = std::make_unique<FakePlayerEngine>();
    FakePlayerEngine &stream = *engine;
    PlayerController player(std::move(engine), PlayerController::loadedRecorder());
    QMenu menu;
    TrackMenus tracks(&player, &menu);
    player.play(PlayTarget{QStringLiteral("rtsp://127.0.0.1/orvantv/201"), {}});
    using Kind = StreamTrack::Kind;
    emit stream.streamsFound({{Kind::Sound, "fr", "MPEG-1 Audio", "a1"},
                              {Kind::Sound, "en", "MPEG-1 Audio", "a2"},
                              {Kind::Subtitles, "fr", "DVB subtitles", "s1"}});
    ASSERT_EQ(tracks.soundMenu()->actions().size(), 2);
    ASSERT_EQ(tracks.subtitlesMenu()->actions().size(), 2);

    // Each choice refreshes the menu while its own entry's signal is still being delivered.
    for (int i = 0; i < 20; ++i) {
        tracks.soundMenu()->actions().at(i % 2)->trigger();
        tracks.subtitlesMenu()->actions().at(i % 2)->trigger();
        emit player.tracksChanged();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    for (const QMenu *submenu : {tracks.soundMenu(), tracks.subtitlesMenu()}) {
        SCOPED_TRACE(submenu->title().toStdString());
        EXPECT_EQ(childrenOf<QActionGroup>(submenu), 1);
        // Besides the menu's own action, which shows it in its parent.
        EXPECT_EQ(childrenOf<QAction>(submenu), 2 + 1);
        EXPECT_EQ(submenu->actions().size(), 2);
        EXPECT_EQ(submenu->actions().at(1)->isChecked(), true) << "the last choice is not the one checked";
    }
    EXPECT_EQ(player.currentSound(), 1);
    EXPECT_EQ(player.currentSubtitles(), 0);
}

} // namespace
