#include "programmes/GuideFile.h"

#include <QBuffer>
#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

// 2026-12-08 00:00:00 UTC.
constexpr qint64 kMidnight = 1796688000;

QByteArray xmltvTime(qint64 secs) {
    return QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()).toString("yyyyMMddHHmmss").toLatin1() +
           " +0000";
}

// channels × perChannel half-hour programmes from midnight, each with its own description (of
// descriptionBytes or so) and one of a few titles and categories.
QByteArray generatedGuide(int channels, int perChannel, int descriptionBytes = 120) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n";
    const QByteArray words =
        QByteArray("Un récit où rien ne se passe comme prévu. ").repeated(descriptionBytes / 40 + 1);
    for (int c = 0; c < channels; ++c) {
        for (int p = 0; p < perChannel; ++p) {
            const qint64 start = kMidnight + p * 1800;
            xml += "<programme start=\"" + xmltvTime(start) + "\" stop=\"" + xmltvTime(start + 1800) +
                   "\" channel=\"c" + QByteArray::number(c) + ".fr\"><title lang=\"fr\">Série " +
                   QByteArray::number(p % 7) +
                   "</title><desc lang=\"en\">Not kept.</desc><desc lang=\"fr\">" +
                   words.left(descriptionBytes) + QByteArray::number(c * perChannel + p) +
                   "</desc><category lang=\"fr\">Genre " + QByteArray::number(p % 3) +
                   "</category></programme>\n";
        }
    }
    return xml + "</tv>\n";
}

GuideLoad read(const QByteArray &xml, const GuideLimits &limits = GuideLimits()) {
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    return readGuide(buffer, kMidnight - 86400, kMidnight + 30 * 86400, nullptr, limits);
}

TEST(BigGuide, AGuideOfManyChannelsAndDaysIsKeptWhole) {
    // 100 channels over 4 days: every programme, text and order kept.
    const GuideLoad load = read(generatedGuide(100, 200));
    ASSERT_TRUE(load.data) << qPrintable(load.error);
    EXPECT_EQ(load.programmes, 20000);
    EXPECT_EQ(load.cut, 0);
    EXPECT_EQ(load.droppedDescriptions, 0);
    ASSERT_EQ(load.data->channelCount(), 100);
    for (const int c : {0, 57, 99}) {
        const ChannelProgrammes programmes = load.data->programmes(QStringLiteral("c%1.fr").arg(c));
        ASSERT_EQ(programmes.size(), 200);
        for (int p : {0, 1, 199}) {
            EXPECT_EQ(programmes[p].start, kMidnight + p * 1800);
            EXPECT_EQ(programmes[p].stop, kMidnight + p * 1800 + 1800);
            EXPECT_EQ(programmes[p].title, QStringLiteral("Série %1").arg(p % 7));
            EXPECT_TRUE(programmes[p].description.endsWith(QString::number(c * 200 + p)));
            EXPECT_EQ(programmes[p].category, QStringLiteral("Genre %1").arg(p % 3));
        }
    }
    // A few hours of a channel, as a view of the grid asks for them.
    const ChannelProgrammes evening = load.data->programmes("c3.fr", kMidnight + 3600 + 60, kMidnight + 7200);
    ASSERT_EQ(evening.size(), 2);
    EXPECT_EQ(evening.first().start, kMidnight + 3600);
    // Kept compactly: the programmes and their texts, far less than a string apiece.
    EXPECT_LT(load.data->memoryBytes(), 20000LL * 250 + 2 * 1024 * 1024);
}

TEST(BigGuide, PastItsBoundsTheGuideIsCutAndDescriptionsGoFirst) {
    GuideLimits limits;
    limits.reader.maxProgrammes = 150;
    const GuideLoad cut = read(generatedGuide(2, 100), limits);
    ASSERT_TRUE(cut.data) << qPrintable(cut.error);
    EXPECT_EQ(cut.programmes, 150);
    EXPECT_EQ(cut.cut, 50);
    EXPECT_EQ(cut.data->programmes("c0.fr").size(), 100);
    EXPECT_EQ(cut.data->programmes("c1.fr").size(), 50) << "the first programmes are kept";

    limits = GuideLimits();
    limits.reader.maxChannels = 1;
    const GuideLoad firstChannel = read(generatedGuide(2, 10), limits);
    ASSERT_TRUE(firstChannel.data) << qPrintable(firstChannel.error);
    EXPECT_EQ(firstChannel.data->channelIds(), QStringList{"c0.fr"});
    EXPECT_EQ(firstChannel.cut, 10);

    // 1,500 descriptions of 2 kB do not fit in 1 MB: those past it are left out, the programmes kept.
    limits = GuideLimits();
    limits.reader.maxDescriptionBytes = 1024 * 1024;
    const GuideLoad wordy = read(generatedGuide(3, 500, 2000), limits);
    ASSERT_TRUE(wordy.data) << qPrintable(wordy.error);
    EXPECT_EQ(wordy.programmes, 1500);
    EXPECT_GT(wordy.droppedDescriptions, 900);
    EXPECT_LT(wordy.droppedDescriptions, 1100);
    const ChannelProgrammes last = wordy.data->programmes("c2.fr");
    EXPECT_TRUE(last.last().description.isEmpty());
    EXPECT_EQ(last.last().title, QStringLiteral("Série %1").arg(499 % 7));
}

} // namespace
