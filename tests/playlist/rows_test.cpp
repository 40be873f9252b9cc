#include "playlist/ChannelText.h"
#include "playlist/Playlist.h"
#include "playlist/PlaylistErrors.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

Playlist parse(const QByteArray &text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return Playlist::read(buffer);
}

QList<QByteArray> names(const Playlist &playlist) {
    QList<QByteArray> out;
    for (int row = 0; row < playlist.rowCount(); ++row)
        out.append(playlist.rowName(row));
    return out;
}

struct RowCase {
    const char *what;
    QByteArray text;
    QList<QByteArray> names;
};

class Rows : public ::testing::TestWithParam<RowCase> {};

TEST_P(Rows, NamesComeFromEntryLines) {
    const RowCase &c = GetParam();
    EXPECT_EQ(names(parse(c.text)), c.names) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Rows,
    ::testing::Values(
        RowCase{"two channels",
                "#EXTINF:-1,2 - A\nrtsp://h/2\n#EXTINF:-1,3 - B\nrtsp://h/3\n",
                {"2 - A", "3 - B"}},
        RowCase{"lower case is not an entry", "#extinf:-1,A\nx\n", {}},
        RowCase{"only seven bytes are compared", "#EXTINFO,A\nx\n", {"A"}},
        RowCase{"a prefix is not enough", "#EXTIN\n #EXTINF,A\n", {}},
        RowCase{"second comma stays in the name", "#EXTINF:-1,A, the second\nx\n", {"A, the second"}},
        RowCase{"comma at the end gives an empty row", "#EXTINF:-1,\nx\n", {""}},
        RowCase{"no comma gives the whole line", "#EXTINF:-1 A\nx\n", {"#EXTINF:-1 A"}},
        RowCase{"leading spaces are kept", "#EXTINF:-1,  A \nx\n", {"  A "}},
        RowCase{"header and options are not rows", "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:x\nu\n", {"A"}},
        RowCase{"bytes are not decoded",
                "#EXTINF:-1,Cha\xee"
                "ne\nx\n",
                {"Cha\xee"
                 "ne"}}));

struct AddressCase {
    const char *what;
    QByteArray text;
    int row;
    QByteArray address; // empty: the lookup fails with the line number below
    qsizetype failingLine;
};

class Addresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(Addresses, FollowTheEntryLine) {
    const AddressCase &c = GetParam();
    const Playlist playlist = parse(c.text);
    if (!c.address.isEmpty()) {
        EXPECT_EQ(playlist.addressOfRow(c.row), c.address) << c.what;
        return;
    }
    try {
        playlist.addressOfRow(c.row);
        ADD_FAILURE() << c.what << ": no error";
    } catch (const EListError &e) {
        EXPECT_EQ(e.index(), c.failingLine) << c.what;
        EXPECT_EQ(std::string(e.what()),
                  "Indice de liste hors limites (" + std::to_string(c.failingLine) + ")");
    }
}

const QByteArray kPairs = "#EXTINF:-1,A\nrtsp://h/a\n#EXTINF:-1,B\nrtsp://h/b\n";
const QByteArray kUsual = "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:network-caching=300\nrtsp://h/a\n"
                          "\n#EXTINF:-1,B\n# comment\n\nrtsp://h/b\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, Addresses,
    ::testing::Values(AddressCase{"pairs, row 0 on line 1", kPairs, 0, "rtsp://h/a", 0},
                      AddressCase{"pairs, row 1 on line 3", kPairs, 1, "rtsp://h/b", 0},
                      AddressCase{"header and option lines skipped", kUsual, 0, "rtsp://h/a", 0},
                      AddressCase{"comments and empty lines skipped", kUsual, 1, "rtsp://h/b", 0},
                      AddressCase{"no selection", kPairs, -1, "", -1},
                      AddressCase{"past the last row", kPairs, 2, "", -1},
                      AddressCase{"entry followed by entry", "#EXTINF:-1,A\n#EXTINF:-1,B\nu\n", 0, "", 1},
                      AddressCase{"entry at the end of the file", "#EXTINF:-1,A\nu\n#EXTINF:-1,B\n", 1, "",
                                  3},
                      AddressCase{"only comments before the end", "#EXTINF:-1,A\n#x\n\n", 0, "", 1},
                      AddressCase{"address kept byte for byte", "#EXTINF:-1,A\n rtsp://h/\xe9 \n", 0,
                                  " rtsp://h/\xe9 ", 0}));

// Bytes an editor or a broken export leaves in the file cost no row, and each row keeps its address.
TEST(Rows, ByteOrderMarkAndZeroBytesLoseNoChannel) {
    const Playlist playlist = parse(QByteArray("\xEF\xBB\xBF#EXTINF:-1,201 - A\nrtsp://h/201\n"
                                               "#EXTINF:-1,202 - B\0C\nrtsp://h/202\n"
                                               "#EXTINF:-1,203 - D\nrtsp://h/203\n",
                                               101));
    ASSERT_EQ(playlist.rowCount(), 3);
    EXPECT_EQ(playlist.displayName(0), QStringLiteral("201 - A"));
    EXPECT_EQ(playlist.displayName(1), QString::fromUtf16(u"202 - B\u2400C"));
    EXPECT_EQ(playlist.rowName(1), QByteArray("202 - B\0C", 9));
    EXPECT_EQ(playlist.addressOfRow(0), "rtsp://h/201");
    EXPECT_EQ(playlist.addressOfRow(1), "rtsp://h/202");
    EXPECT_EQ(playlist.addressOfRow(2), "rtsp://h/203");
}

// A twenty-megabyte name is shown by its start only, whatever its encoding.
TEST(Rows, HugeNamesAreShownCutShort) {
    const QByteArray huge(20'000'000, 'x');
    QByteArray euros;
    for (int i = 0; i < kShownNameBytes / 3 + 1; ++i)
        euros += "\xe2\x82\xac";
    const Playlist playlist =
        parse("#EXTINF:-1," + huge + "\nrtsp://h/1\n#EXTINF:-1," + euros + "\nrtsp://h/2\n");
    ASSERT_EQ(playlist.rowCount(), 2);
    const QString shown = playlist.displayName(0);
    EXPECT_EQ(shown, QString(kShownNameCharacters, u'x') + QChar(u'\u2026'));
    // A character cut in two is dropped, not shown as two Windows-1252 ones.
    EXPECT_EQ(playlist.displayName(1), QString(kShownNameCharacters, u'\u20ac') + QChar(u'\u2026'));
    EXPECT_EQ(playlist.addressOfRow(1), "rtsp://h/2");
}

TEST(Rows, EmptyPlaylistHasNoRowsAndNoAddress) {
    const Playlist playlist;
    EXPECT_EQ(playlist.rowCount(), 0);
    EXPECT_THROW(playlist.addressOfRow(0), EListError);
}

TEST(Rows, DisplayNamesDecodeUtf8ElseWindows1252) {
    const Playlist playlist = parse("#EXTINF:-1,France \xc3\xa9t\xc3\xa9\n"
                                    "#EXTINF:-1,Cha\xee"
                                    "ne \x80 \x9c\x85\n"
                                    "#EXTINF:-1,\xc3\n");
    ASSERT_EQ(playlist.rowCount(), 3);
    EXPECT_EQ(playlist.displayName(0), QString::fromUtf8("France été"));
    EXPECT_EQ(playlist.displayName(1), QString::fromUtf8("Chaîne € œ…"));
    // A lone lead byte is not UTF-8: it is read as the 1252 character.
    EXPECT_EQ(playlist.displayName(2), QString::fromUtf8("Ã"));
    EXPECT_EQ(playlist.displayNames(),
              QStringList({playlist.displayName(0), playlist.displayName(1), playlist.displayName(2)}));
}

} // namespace
