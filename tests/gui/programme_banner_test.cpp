// The guide the playlist names: the banner shows the programme now and next from the box's guide
// and follows it when the programme changes; the desktop's title names the programme; a guide
// that cannot be had changes nothing else.

#include "PlayerWindowFixture.h"
#include "app/PlayerMediaControls.h"

#include <QRegularExpression>
#include <QSignalSpy>

namespace {

// "10:30–11:00  Title": a programme line of the banner.
const QRegularExpression kProgrammeLine(QStringLiteral("^\\d\\d:\\d\\d–\\d\\d:\\d\\d  (.+)$"));

QStringList programmeLines(const QStringList &overlay) {
    return overlay.filter(kProgrammeLine);
}

QString titleOf(const QString &line) {
    return kProgrammeLine.match(line).captured(1);
}

class ProgrammeBannerTest : public PlayerWindowFixture {
protected:
    int guideProgrammeSeconds() const override { return 15; }

    // Chooses the row as a click does and returns the banner's programme lines once it shows two.
    QStringList chooseAndReadGuide(int row) {
        form2->ListBox1->setCurrentRow(row);
        form2->ListBox1Click();
        QStringList lines;
        waitUntil([&] { return (lines = programmeLines(form1->vlc->overlayTexts())).size() == 2; }, 5000);
        return lines;
    }
};

TEST_F(ProgrammeBannerTest, TheBannerShowsNowAndNextAndFollowsTheProgrammeWhenItChanges) {
    ASSERT_TRUE(waitUntil([&] { return guide.hasGuide(); }, 20000)) << "the box's guide was not read";
    form2->ListBox1->setCurrentRow(0);
    form2->ListBox1Click();
    ASSERT_TRUE(waitForChannel(201));
    // Read now, next and the title together: a tune may take longer than a programme here.
    QStringList first;
    ASSERT_TRUE(waitUntil([&] { return (first = chooseAndReadGuide(0)).size() == 2; }, 20000));
    const QString nowTitle = titleOf(first[0]);
    const QString nextTitle = titleOf(first[1]);
    EXPECT_NE(nowTitle, nextTitle);

    PlayerMediaControls controls(*form1, *form2, lineup);
    EXPECT_TRUE(controls.title() == QStringLiteral("201 - Chaine 201 — ") + nowTitle ||
                controls.title() == QStringLiteral("201 - Chaine 201 — ") + nextTitle)
        << qPrintable(controls.title());

    // The programme after comes on: the banner, shown again, has moved on by one.
    QStringList later;
    ASSERT_TRUE(waitUntil(
        [&] {
            later = chooseAndReadGuide(0);
            return later.size() == 2 && titleOf(later[0]) != nowTitle;
        },
        60000, 1000));
    EXPECT_EQ(titleOf(later[0]), nextTitle);
    EXPECT_NE(titleOf(later[1]), nextTitle);
    EXPECT_TRUE(controls.title().endsWith(QStringLiteral(" — ") + titleOf(later[0])));
}

class MissingGuideTest : public PlayerWindowFixture {
protected:
    QByteArray playlistHeader() const override { return "#EXTM3U url-tvg=\"no-such-guide.xml.gz\"\n"; }
};

TEST_F(MissingGuideTest, AGuideThatCannotBeReadLeavesTheChannelsAndTheBannerAsTheyWere) {
    QSignalSpy failed(&guide, &ProgrammeGuide::failed);
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 20000));
    EXPECT_FALSE(guide.hasGuide());
    EXPECT_EQ(form2->ListBox1->count(), 3);
    form2->ListBox1->setCurrentRow(1);
    form2->ListBox1Click();
    EXPECT_TRUE(waitForChannel(202));
    EXPECT_EQ(form1->vlc->overlayTexts(), QStringList({"202", "Chaine 202"}));
}

} // namespace
