#include "forms/ChannelNumberEntry.h"

#include <gtest/gtest.h>

namespace {

TEST(ChannelNumberEntry, CountsOnceTheUserStopsTypingForAWhile) {
    ChannelNumberEntry entry;
    EXPECT_FALSE(entry.isDue(100000));
    EXPECT_EQ(entry.dueAtMs(), -1);
    EXPECT_TRUE(entry.type(u'2', 1000));
    EXPECT_TRUE(entry.type(u'0', 2400));
    // Each digit starts the wait again.
    EXPECT_EQ(entry.dueAtMs(), 2400 + ChannelNumberEntry::kWaitMs);
    EXPECT_FALSE(entry.isDue(2400 + ChannelNumberEntry::kWaitMs - 1));
    EXPECT_TRUE(entry.isDue(2400 + ChannelNumberEntry::kWaitMs));
    EXPECT_EQ(entry.take(), QStringLiteral("20"));
    EXPECT_TRUE(entry.isEmpty());
    EXPECT_FALSE(entry.isDue(100000));
}

TEST(ChannelNumberEntry, TakesDigitsOnlyAndNoMoreThanAChannelNumberHas) {
    ChannelNumberEntry entry;
    EXPECT_FALSE(entry.type(u'a', 0));
    EXPECT_FALSE(entry.type(u'+', 0));
    EXPECT_TRUE(entry.isEmpty());
    for (int i = 0; i < ChannelNumberEntry::kMaxDigits; ++i)
        EXPECT_TRUE(entry.type(QChar(u'1' + i), i));
    EXPECT_FALSE(entry.type(u'9', 10));
    EXPECT_EQ(entry.digits(), QStringLiteral("1234"));
    // The wait runs from the last digit taken.
    EXPECT_EQ(entry.dueAtMs(), ChannelNumberEntry::kMaxDigits - 1 + ChannelNumberEntry::kWaitMs);
}

TEST(ChannelNumberEntry, BackspaceTakesBackTheLastDigitAndStartsTheWaitAgain) {
    ChannelNumberEntry entry;
    EXPECT_FALSE(entry.takeBack(0)) << "took back a digit never typed";
    entry.type(u'2', 0);
    entry.type(u'9', 100);
    EXPECT_TRUE(entry.takeBack(900));
    entry.type(u'5', 1000);
    EXPECT_EQ(entry.digits(), QStringLiteral("25"));
    EXPECT_TRUE(entry.takeBack(1200));
    EXPECT_EQ(entry.dueAtMs(), 1200 + ChannelNumberEntry::kWaitMs);
    EXPECT_TRUE(entry.takeBack(1300));
    EXPECT_TRUE(entry.isEmpty());
    EXPECT_FALSE(entry.isDue(100000)) << "an entry emptied by Backspace still counts";
    // Room again for a whole number once a digit of a full entry is taken back.
    for (QChar digit : QStringLiteral("1234"))
        entry.type(digit, 2000);
    entry.takeBack(2000);
    EXPECT_TRUE(entry.type(u'9', 2000));
    EXPECT_EQ(entry.take(), QStringLiteral("1239"));
}

} // namespace
