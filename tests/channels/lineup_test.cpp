#include "channels/ChannelLineup.h"
#include "playlist/PlaylistErrors.h"

#include <QBuffer>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

const QByteArray kPlaylist = "#EXTM3U url-tvg=\"http://guide/g.xml\"\n"
                             "#EXTINF:-1 tvg-id=\"une.fr\",201 - Une\nrtsp://box/201\n"
                             "#EXTINF:-1,202 - Deux\nrtsp://box/202\n"
                             "#EXTINF:-1,206 - Sans adresse\n";

} // namespace

TEST(ChannelLineup, ReadsEachRowsNumberNameAddressAndGuideId) {
    QBuffer buffer;
    buffer.setData(kPlaylist);
    buffer.open(QIODevice::ReadOnly);
    ChannelLineup lineup;
    lineup.setPlaylist(Playlist::read(buffer));
    ASSERT_EQ(lineup.count(), 3);
    EXPECT_EQ(lineup.rowText(0), "201 - Une");
    EXPECT_EQ(lineup.number(1), "202 ");
    EXPECT_EQ(lineup.rowOfNumber("202"), 1);
    EXPECT_EQ(lineup.rowOfNumber("999"), -1);
    EXPECT_EQ(lineup.address(0), "rtsp://box/201");
    EXPECT_EQ(lineup.guideId(0), "une.fr");
    EXPECT_EQ(lineup.guideAddress(), "http://guide/g.xml");
    EXPECT_THROW(lineup.address(2), EListError);
    EXPECT_TRUE(lineup.programmes(0).isEmpty()) << "no guide: nothing known";
}

TEST(ChannelLineup, KeepsTheChannelWatchedAndTheOneBefore) {
    QBuffer buffer;
    buffer.setData(kPlaylist);
    buffer.open(QIODevice::ReadOnly);
    ChannelLineup lineup;
    lineup.setPlaylist(Playlist::read(buffer));
    QSignalSpy changes(&lineup, &ChannelLineup::currentChanged);
    EXPECT_EQ(lineup.current(), -1);
    lineup.watch(0);
    lineup.watch(1);
    EXPECT_EQ(lineup.current(), 1);
    EXPECT_EQ(lineup.previous(), 0);
    lineup.watch(1);
    EXPECT_EQ(lineup.previous(), 0) << "the same channel again is no change";
    lineup.watch(7);
    EXPECT_EQ(lineup.current(), 1) << "no such row";
    EXPECT_EQ(changes.count(), 2);
    lineup.watch(0);
    EXPECT_EQ(lineup.previous(), 1) << "back and forth";
}
