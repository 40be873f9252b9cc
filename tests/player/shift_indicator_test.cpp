// What the picture tells of a pause and of moves through the kept channel, and for how long, on a
// clock of the test's own.
#include "player/ShiftIndicator.h"

#include <gtest/gtest.h>

namespace {

using Position = ShiftControl::Position;
const QString kMinus(QChar(0x2212));

TEST(ShiftIndicator, TheTimeBehindLiveReadsInMinutesAndSecondsThenHours) {
    struct Case {
        qint64 behindMs;
        const char *text;
    };
    for (const Case &c :
         {Case{0, "00:00"}, Case{999, "00:00"}, Case{42700, "00:42"}, Case{60000, "01:00"},
          Case{3599999, "59:59"}, Case{3600000, "1:00:00"}, Case{3723000, "1:02:03"}, Case{-5000, "00:00"}}) {
        SCOPED_TRACE(c.behindMs);
        EXPECT_EQ(ShiftIndicator::behindText(c.behindMs), kMinus + QLatin1String(c.text));
    }
}

TEST(ShiftIndicator, AMoveBehindLiveShowsTheTimeAndTheBarForFourSecondsCountingOn) {
    ShiftIndicator indicator;
    const Position behind{600000, 42000, false};
    EXPECT_TRUE(indicator.shown(behind, 0).text.isEmpty()) << "shown before any key";
    EXPECT_EQ(indicator.nextChangeMs(behind, 0), -1);

    indicator.moved(1000);
    const ShiftIndicator::Shown shown = indicator.shown(behind, 1000);
    EXPECT_EQ(shown.text, QStringLiteral("Différé ") + kMinus + QStringLiteral("00:42"));
    EXPECT_DOUBLE_EQ(shown.barFraction, 0.93);
    EXPECT_LE(indicator.nextChangeMs(behind, 1000), 2000) << "the time is not redrawn every second";
    EXPECT_EQ(indicator.nextChangeMs(behind, 4800), 5000) << "not redrawn when it goes";
    EXPECT_FALSE(indicator.shown(behind, 4999).text.isEmpty());
    EXPECT_TRUE(indicator.shown(behind, 5000).text.isEmpty());
    EXPECT_EQ(indicator.nextChangeMs(behind, 5000), -1);

    // At live there is no time behind to tell, and no kept span no bar.
    indicator.moved(6000);
    EXPECT_TRUE(indicator.shown({600000, 0, false}, 6000).text.isEmpty());
    EXPECT_LT(indicator.shown({0, 0, true}, 6000).barFraction, 0.0);
    EXPECT_DOUBLE_EQ(indicator.shown({1000, 5000, true}, 6000).barFraction, 0.0) << "a bar past its end";
}

TEST(ShiftIndicator, APauseShowsForAsLongAsItLastsWithTheTimeBehindGrowing) {
    ShiftIndicator indicator;
    indicator.moved(0);
    for (const qint64 now : {0, 4000, 100000, 4000000}) {
        SCOPED_TRACE(now);
        const Position paused{3600000, now, true};
        EXPECT_EQ(indicator.shown(paused, now).text,
                  QStringLiteral("Pause ") + ShiftIndicator::behindText(now));
        EXPECT_GE(indicator.shown(paused, now).barFraction, 0.0);
        const qint64 next = indicator.nextChangeMs(paused, now);
        EXPECT_GT(next, now);
        EXPECT_LE(next, now + 1000);
    }
}

TEST(ShiftIndicator, LiveAndARefusalShowTheirTextsForTheirTimeAndTheLastEventWins) {
    ShiftIndicator indicator;
    const Position live{600000, 0, false};
    indicator.wentLive(10000);
    EXPECT_EQ(indicator.shown(live, 10000).text, QStringLiteral("Direct"));
    EXPECT_LT(indicator.shown(live, 10000).barFraction, 0.0);
    EXPECT_EQ(indicator.nextChangeMs(live, 10000), 12000);
    EXPECT_TRUE(indicator.shown(live, 12000).text.isEmpty());

    // A refusal over a pause: its reason for three seconds, then the pause again.
    const Position paused{600000, 20000, true};
    indicator.unavailable(QStringLiteral("espace disque insuffisant"), 20000);
    EXPECT_EQ(indicator.shown(paused, 22999).text,
              QStringLiteral("Pause du direct indisponible : espace disque insuffisant"));
    EXPECT_EQ(indicator.nextChangeMs(paused, 22000), 23000);
    EXPECT_TRUE(indicator.shown(paused, 23000).text.startsWith(QStringLiteral("Pause ") + kMinus));

    // A move after the refusal replaces it.
    indicator.unavailable(QStringLiteral("plus rien de gardé"), 30000);
    indicator.moved(30500);
    EXPECT_TRUE(indicator.shown({600000, 10000, false}, 30500).text.startsWith(QStringLiteral("Différé")));
}

} // namespace
