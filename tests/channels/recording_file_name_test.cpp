#include "channels/RecordingFileName.h"

#include <QDate>
#include <QTime>
#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char *channel;
    const char *title;
    const char *expected;
};

class RecordingFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(RecordingFileNameTest, NamesChannelTitleAndLocalStartWithRefusedCharactersReplaced) {
    const NameCase &c = GetParam();
    const QDateTime start(QDate(2026, 12, 7), QTime(20, 5));
    EXPECT_EQ(
        RecordingFileName::of(QString::fromUtf8(c.channel), QString::fromUtf8(c.title), start).toStdString(),
        c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RecordingFileNameTest,
    ::testing::Values(NameCase{"France 2", "Le Journal", "France 2 - Le Journal - 2026-12-07 20h05.mpg"},
                      NameCase{"Arte", "Qui? Quoi: \"Où\" <ici> | là / *ou* \\ pas",
                               "Arte - Qui- Quoi- -Où- -ici- - là - -ou- - pas - 2026-12-07 20h05.mpg"},
                      NameCase{"Une", "Été   à\tParis\n", "Une - Été à Paris - 2026-12-07 20h05.mpg"},
                      NameCase{"  ", "...", "chaine - programme - 2026-12-07 20h05.mpg"},
                      NameCase{"../..", "Fin.", "- - Fin - 2026-12-07 20h05.mpg"}));

TEST(RecordingFileName, KeepsALongTitleWithinWhatAFileSystemAccepts) {
    const QString name = RecordingFileName::of(QStringLiteral("Une"), QString(400, QChar(0x00e9)),
                                               QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
    EXPECT_LT(name.toUtf8().size(), 255);
    EXPECT_TRUE(name.endsWith(QStringLiteral(" - 2026-01-02 03h04.mpg")));
}

} // namespace
