#include "programmes/NowNext.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

const ChannelProgrammes kDay{
    {1000, 2000, "Journal"},
    {2000, 3000, "Météo"},
    // A gap from 3000 to 4000.
    {4000, 5000, "Cinéma"},
    // A short one inside the film's end.
    {4800, 4900, "Flash"},
    {5000, 6000, "Concert"},
};

QString titleOr(const std::optional<GuideProgramme> &programme) {
    return programme ? programme->title : QStringLiteral("-");
}

TEST(NowNext, PicksTheProgrammeOnAndTheOneAfterItAtAnyTime) {
    const struct {
        qint64 at;
        const char *now, *next;
        double elapsed;
    } cases[] = {
        {0, "-", "Journal", 0},          {1000, "Journal", "Météo", 0},
        {1500, "Journal", "Météo", 0.5}, {1999, "Journal", "Météo", 0.999},
        {2000, "Météo", "Cinéma", 0},    {3500, "-", "Cinéma", 0},
        {4850, "Flash", "Concert", 0.5}, {4950, "Cinéma", "Concert", 0.95},
        {5999, "Concert", "-", 0.999},   {6000, "-", "-", 0},
    };
    for (const auto &c : cases) {
        const NowNext shown = nowAndNext(kDay, c.at);
        EXPECT_EQ(titleOr(shown.now), QString::fromUtf8(c.now)) << c.at;
        EXPECT_EQ(titleOr(shown.next), QString::fromUtf8(c.next)) << c.at;
        EXPECT_NEAR(shown.elapsed, c.elapsed, 1e-9) << c.at;
    }
    EXPECT_FALSE(nowAndNext({}, 1500).now);
}

TEST(NowNext, TheNextChangeIsTheEndOfTheProgrammeOnOrTheStartOfTheNext) {
    EXPECT_EQ(nextChangeAfter(kDay, 1500), 2000);
    EXPECT_EQ(nextChangeAfter(kDay, 3500), 4000);
    EXPECT_EQ(nextChangeAfter(kDay, 0), 1000);
    EXPECT_EQ(nextChangeAfter(kDay, 6000), -1);
    EXPECT_EQ(nextChangeAfter({}, 0), -1);
}

TEST(NowNext, AProgrammeLineGivesItsTimesThenItsTitle) {
    const qint64 start = QDateTime(QDate(2026, 12, 8), QTime(10, 30)).toSecsSinceEpoch();
    EXPECT_EQ(programmeLine({start, start + 1800, "Journal"}), QStringLiteral("10:30–11:00  Journal"));
}

} // namespace
