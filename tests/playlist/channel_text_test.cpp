#include "playlist/ChannelText.h"

#include <gtest/gtest.h>

namespace {

TEST(ChannelNumber, KeepsTheTextBeforeTheFirstSpaceHyphen) {
    const struct {
        const char *row;
        const char *number;
    } cases[] = {
        {"2 - France 2", "2 "}, {"201 - A - B", "201 "}, {"2-Foo", ""}, {"Foo", ""}, {"", ""},
        {" - Foo", " "},        {"12  - x", "12  "},     {"a -", "a "}, {"-", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(channelNumber(QString::fromUtf8(c.row)), QString::fromUtf8(c.number)) << c.row;
}

TEST(Windows1252, MapsEveryHighByte) {
    EXPECT_EQ(decodeWindows1252("\x80\x8a\x9e\x9f"), QString::fromUtf8("€ŠžŸ"));
    // Unassigned bytes keep their C1 code points rather than being dropped.
    EXPECT_EQ(decodeWindows1252("\x81\x8d\x8f\x90\x9d"),
              QString::fromUtf16(u"\u0081\u008d\u008f\u0090\u009d"));
    EXPECT_EQ(decodeWindows1252("\xa0\xe9\xff"), QString::fromUtf16(u"\u00a0\u00e9\u00ff"));
    EXPECT_EQ(decodeWindows1252("abc"), QStringLiteral("abc"));
}

} // namespace

namespace {

TEST(ChannelTitle, SplitsTheRowAtTheFirstSpaceHyphenSpace) {
    const struct {
        const char *row;
        const char *number;
        const char *name;
    } cases[] = {
        {"201 - Chaine 201", "201", "Chaine 201"},
        {"2 - A - B", "2", "A - B"},
        {"Radio", "", "Radio"},
        {"12-Foo", "", "12-Foo"},
        {" 7  -  Sept ", "7", "Sept"},
    };
    for (const auto &c : cases) {
        const ChannelTitle title = channelTitle(QString::fromUtf8(c.row));
        EXPECT_EQ(title.number, QString::fromUtf8(c.number)) << c.row;
        EXPECT_EQ(title.name, QString::fromUtf8(c.name)) << c.row;
    }
}

TEST(ChannelTitle, TheTypedNumberFindsTheFirstRowWithExactlyThatNumber) {
    const QStringList rows{"Radio", "2 - Deux", "20 - Vingt", "201 - A", "201 - B", "02 - Zero deux"};
    EXPECT_EQ(rowOfChannelNumber(rows, "2"), 1);
    EXPECT_EQ(rowOfChannelNumber(rows, "20"), 2);
    EXPECT_EQ(rowOfChannelNumber(rows, "201"), 3);
    EXPECT_EQ(rowOfChannelNumber(rows, "02"), 5);
    // No prefix match, and a row without a number is never the empty number.
    EXPECT_EQ(rowOfChannelNumber(rows, "999"), -1);
    EXPECT_EQ(rowOfChannelNumber(rows, "2010"), -1);
    EXPECT_EQ(rowOfChannelNumber(rows, ""), -1);
}

} // namespace
