#include "programmes/GuideFile.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

// 2026-12-08 10:00:00 UTC.
constexpr qint64 kTen = 1796724000;

// The one programme of a guide whose programme holds inner.
GuideProgramme readOne(const QByteArray &inner, const GuideLimits &limits = GuideLimits()) {
    QBuffer buffer;
    buffer.setData(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n"
        "<programme start=\"20261208100000 +0000\" stop=\"20261208110000 +0000\" channel=\"une.fr\">" +
        inner + "</programme>\n</tv>\n");
    buffer.open(QIODevice::ReadOnly);
    const GuideLoad load = readGuide(buffer, kTen - 3600, kTen + 3600, nullptr, limits);
    if (!load.data || load.data->programmes("une.fr").size() != 1) {
        ADD_FAILURE() << "not read: " << qPrintable(load.error);
        return {};
    }
    return load.data->programmes("une.fr").first();
}

TEST(GuideTexts, KeepsTheFirstDescriptionAndCategoryOrTheFirstInFrench) {
    const struct {
        const char *inner;
        const char *title;
        const char *description;
        const char *category;
    } cases[] = {
        {"<title>Film</title>", "Film", "", ""},
        {"<title>Film</title><desc>Un récit.</desc><category>Cinéma</category>", "Film", "Un récit.",
         "Cinéma"},
        {"<title lang=\"en\">Movie</title><title lang=\"fr\">Film</title>"
         "<desc lang=\"en\">A story.</desc><desc lang=\"fr\">Une histoire.</desc>"
         "<category lang=\"en\">Movie</category><category lang=\"fr\">Film</category>",
         "Film", "Une histoire.", "Film"},
        {"<title>Film</title><desc lang=\"fr\">Première.</desc><desc lang=\"fr\">Seconde.</desc>"
         "<category lang=\"fr\">Film</category><category lang=\"fr\">Drame</category><category>x</category>",
         "Film", "Première.", "Film"},
        {"<title>T</title><desc lang=\"en\">Only English.</desc><desc lang=\"de\">Nur Deutsch.</desc>"
         "<category lang=\"en\">News</category>",
         "T", "Only English.", "News"},
        {"<title>T</title><desc lang=\"en\">No.</desc><desc lang=\"FR-ca\">Oui.</desc>"
         "<desc lang=\"fr\">Trop tard.</desc><category lang=\"fre\">x</category><category "
         "lang=\"fr_BE\">Sport</category>",
         "T", "Oui.", "Sport"},
        {"<title>T</title><desc>Tom &amp; Jerry &lt;3 &#233;t&#xE9; &quot;ici&quot;</desc>"
         "<category>Jeunesse &amp; dessins</category>",
         "T", "Tom & Jerry <3 été \"ici\"", "Jeunesse & dessins"},
        {"<title>T</title><desc><![CDATA[Un <b>gras</b> & rien "
         "d'autre]]></desc><category><![CDATA[A&B]]></category>",
         "T", "Un <b>gras</b> & rien d'autre", "A&B"},
        {"<title>T</title><desc>\n    Sur deux\n    lignes, <![CDATA[puis]]>  la fin.\n  </desc>", "T",
         "Sur deux lignes, puis la fin.", ""},
        // Inner elements of the description are not its text's end.
        {"<title>T</title><desc>Avant <i>dedans</i> après</desc>", "T", "Avant dedans après", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.inner);
        const GuideProgramme programme = readOne(c.inner);
        EXPECT_EQ(programme.title, QString::fromUtf8(c.title));
        EXPECT_EQ(programme.description, QString::fromUtf8(c.description));
        EXPECT_EQ(programme.category, QString::fromUtf8(c.category));
    }
}

TEST(GuideTexts, LongTextsAreCut) {
    GuideLimits limits;
    limits.reader.maxDescriptionCharacters = 10;
    limits.reader.maxCategoryCharacters = 3;
    const GuideProgramme programme = readOne(
        "<title>T</title><desc>" + QByteArray(5000, 'd') + "</desc><category>Cinéma</category>", limits);
    EXPECT_EQ(programme.description, QString(10, u'd'));
    EXPECT_EQ(programme.category, "Cin");
}

} // namespace
