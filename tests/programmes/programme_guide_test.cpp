#include "programmes/FetchSchedule.h"
#include "programmes/ProgrammeGuide.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QByteArray xmltvTime(qint64 secs) {
    return QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()).toString("yyyyMMddHHmmss").toLatin1() +
           " +0000";
}

TEST(ProgrammeGuide, ReadsTheGuideInTheBackgroundAndKeepsTheLastGoodOneWhenAFetchFails) {
    QTemporaryDir dir;
    const QString path = dir.filePath("guide.xml");
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<tv><programme start=\"" + xmltvTime(now - 60) + "\" stop=\"" + xmltvTime(now + 60) +
               "\" channel=\"une.fr\"><title>Journal</title></programme></tv>");
    file.close();

    ProgrammeGuide guide;
    QSignalSpy changed(&guide, &ProgrammeGuide::changed);
    QSignalSpy failed(&guide, &ProgrammeGuide::failed);
    guide.start(QUrl::fromLocalFile(path).toString());
    ASSERT_TRUE(changed.wait(10000));
    EXPECT_EQ(guide.programmes("une.fr"), ChannelProgrammes({{now - 60, now + 60, "Journal"}}));
    EXPECT_TRUE(guide.programmes("deux.fr").isEmpty());
    EXPECT_TRUE(guide.programmes(QString()).isEmpty());

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<tv><programme");
    file.close();
    guide.refresh();
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(guide.programmes("une.fr").size(), 1);
    EXPECT_FALSE(guide.isBusy());
}

TEST(ProgrammeGuide, WithoutAnAddressNothingIsFetched) {
    ProgrammeGuide guide;
    guide.start(QString());
    guide.refresh();
    EXPECT_FALSE(guide.isBusy());
    EXPECT_FALSE(guide.hasGuide());

    QSignalSpy failed(&guide, &ProgrammeGuide::failed);
    guide.start(QStringLiteral("gopher://box/guide.xml"));
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_FALSE(guide.hasGuide());
}

TEST(FetchSchedule, RetriesAFailureWithinMinutesAtGrowingGapsUpToAnHour) {
    constexpr qint64 kMinute = 60 * 1000;
    FetchSchedule schedule;
    QList<qint64> gaps;
    for (int i = 0; i < 9; ++i)
        gaps.append(schedule.afterFailure());
    EXPECT_EQ(gaps, QList<qint64>({1 * kMinute, 2 * kMinute, 4 * kMinute, 8 * kMinute, 16 * kMinute,
                                   32 * kMinute, 60 * kMinute, 60 * kMinute, 60 * kMinute}));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(schedule.afterFailure(), 60 * kMinute);
    EXPECT_EQ(schedule.afterSuccess(), 6 * 60 * kMinute);
    // A failure after a good guide starts over from the shortest gap.
    EXPECT_EQ(schedule.afterFailure(), 1 * kMinute);
}

TEST(ProgrammeGuide, AFailedFetchIsTriedAgainSoonAndAGoodOneHoursLater) {
    QTemporaryDir dir;
    const QString path = dir.filePath("guide.xml");
    ProgrammeGuide guide;
    QSignalSpy changed(&guide, &ProgrammeGuide::changed);
    QSignalSpy failed(&guide, &ProgrammeGuide::failed);
    guide.start(path);
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(guide.nextFetchDelayMs(), FetchSchedule::kFirstRetryMs);
    guide.refresh();
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(guide.nextFetchDelayMs(), 2 * FetchSchedule::kFirstRetryMs);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<tv></tv>");
    file.close();
    guide.refresh();
    ASSERT_TRUE(changed.wait(10000));
    EXPECT_EQ(guide.nextFetchDelayMs(), FetchSchedule::kRefreshMs);
}

} // namespace
