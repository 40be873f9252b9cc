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
