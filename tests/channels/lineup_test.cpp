#include "channels/ChannelLineup.h"
#include "playlist/PlaylistErrors.h"
#include "programmes/ProgrammeGuide.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QByteArray kPlaylist = "#EXTM3U url-tvg=\"http://guide/g.xml\"\n"
                             "#EXTINF:-1 tvg-id=\"une.fr\",201 - Une\nrtsp://box/201\n"
                             "#EXTINF:-1,202 - Deux\nrtsp://box/202\n"
                             "#EXTINF:-1,206 - Sans adresse\n";

Playlist playlistOf(const QByteArray &text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return Playlist::read(buffer);
}

QByteArray xmltvProgramme(const char *channel, qint64 start, qint64 stop, const char *title) {
    const auto time = [](qint64 secs) {
        return QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()).toString("yyyyMMddHHmmss").toLatin1() +
               " +0000";
    };
    return "<programme start=\"" + time(start) + "\" stop=\"" + time(stop) + "\" channel=\"" + channel +
           "\"><title>" + title + "</title></programme>";
}

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

// What the next steps reach, for the control to keep ready: nearest first, after then before; a row
// without an address, or beyond the list, keeps its place empty.
TEST(ChannelLineup, OffersTheRowsAroundNearestFirstEachInItsPlace) {
    ChannelLineup lineup;
    lineup.setPlaylist(playlistOf(kPlaylist));
    EXPECT_EQ(lineup.neighbourAddresses(0, 2), QStringList({"rtsp://box/202"}));
    EXPECT_EQ(lineup.neighbourAddresses(2, 2), QStringList({"", "rtsp://box/202", "", "rtsp://box/201"}));
    EXPECT_EQ(lineup.neighbourAddresses(1, 1), QStringList({"", "rtsp://box/201"}));
    EXPECT_TRUE(lineup.neighbourAddresses(0, 0).isEmpty());
    // The channel watched before comes after the rows around, unless it is one of them.
    EXPECT_EQ(lineup.offeredAddresses(0, 2), QStringList({"rtsp://box/202"})) << "none watched before";
    lineup.watch(0);
    lineup.watch(1);
    EXPECT_EQ(lineup.offeredAddresses(1, 0), QStringList({"rtsp://box/201"}));
    EXPECT_EQ(lineup.offeredAddresses(1, 1), QStringList({"", "rtsp://box/201"}));
    lineup.watch(2);
    EXPECT_EQ(lineup.offeredAddresses(2, 0), QStringList({"rtsp://box/202"}));
    lineup.watch(0);
    EXPECT_EQ(lineup.offeredAddresses(0, 0), QStringList()) << "the row before has no address";
    EXPECT_EQ(lineup.title(0).number, "201");
    EXPECT_EQ(lineup.title(0).name, "Une");
}

TEST(ChannelLineup, KeepsTheChannelWatchedAndTheOneBefore) {
    QBuffer buffer;
    buffer.setData(kPlaylist);
    buffer.open(QIODevice::ReadOnly);
    ChannelLineup lineup;
    lineup.setPlaylist(Playlist::read(buffer));
    QSignalSpy changes(&lineup, &ChannelLineup::currentChanged);
    QSignalSpy watched(&lineup, &ChannelLineup::watched);
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
    EXPECT_EQ(watched.count(), 3) << "a tune of the channel watched already is told all the same";
    lineup.watch(0);
    EXPECT_EQ(lineup.previous(), 1) << "back and forth";

    lineup.setPlaylist(playlistOf(kPlaylist));
    EXPECT_EQ(lineup.current(), -1) << "new channels: none watched";
    EXPECT_EQ(lineup.previous(), -1);
}

// The guide the playlist names is fetched, and every programme it holds is kept: those of days
// ago and of the week ahead as well as now's.
TEST(ChannelLineup, GivesEachChannelTheProgrammesOfTheWholeGuideThePlaylistNames) {
    QTemporaryDir dir;
    const QString path = dir.filePath("guide.xml");
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    constexpr qint64 kDay = 24 * 3600;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<tv>" + xmltvProgramme("une.fr", now + 9 * kDay, now + 9 * kDay + 600, "Plus tard") +
               xmltvProgramme("une.fr", now - 60, now + 60, "Journal") +
               xmltvProgramme("une.fr", now - 2 * kDay, now - 2 * kDay + 600, "Avant-hier") +
               xmltvProgramme("deux.fr", now, now + 60, "Ailleurs") + "</tv>");
    file.close();

    ProgrammeGuide guide;
    ChannelLineup lineup(&guide);
    QSignalSpy changed(&lineup, &ChannelLineup::programmesChanged);
    lineup.setPlaylist(playlistOf("#EXTM3U url-tvg=\"" + QUrl::fromLocalFile(path).toEncoded() +
                                  "\"\n#EXTINF:-1 tvg-id=\"une.fr\",201 - Une\nrtsp://box/201\n"
                                  "#EXTINF:-1,202 - Deux\nrtsp://box/202\n"));
    ASSERT_TRUE(changed.wait(10000)) << "the playlist's guide was not read";
    const ChannelProgrammes programmes = lineup.programmes(0);
    ASSERT_EQ(programmes.size(), 3);
    EXPECT_EQ(programmes[0].title, "Avant-hier");
    EXPECT_EQ(programmes[1].title, "Journal");
    EXPECT_EQ(programmes[2].title, "Plus tard");
    EXPECT_TRUE(lineup.programmes(1).isEmpty()) << "a row without a guide id has none";
    EXPECT_TRUE(lineup.programmes(-1).isEmpty());
}
