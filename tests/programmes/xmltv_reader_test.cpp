#include "programmes/GuideFile.h"
#include "programmes/GzipDevice.h"
#include "programmes/XmltvReader.h"
#include "programmes/XmltvTime.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

void PrintTo(const GuideProgramme &p, std::ostream *out) {
    *out << p.start << "–" << p.stop << " " << p.title.toStdString() << " [" << p.category.toStdString()
         << "] " << p.description.toStdString();
}

namespace {

// 2026-12-08 10:00:00 UTC.
constexpr qint64 kTen = 1796724000;

QByteArray gzipped(const QByteArray &data) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

const QByteArray kGuide = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE tv SYSTEM "xmltv.dtd">
<tv>
  <channel id="une.fr"><display-name>Une</display-name></channel>
  <programme start="20261208113000 +0100" stop="20261208120000 +0100" channel="une.fr">
    <title lang="fr">Météo &amp; trafic</title><title lang="en">Weather</title>
    <desc>Le temps qu'il fera.</desc>
    <credits><actor>Someone</actor></credits>
  </programme>
  <programme start="20261208100000 +0000" stop="20261208103000 +0000" channel="une.fr">
    <title>Journal</title>
  </programme>
  <programme start="20261208090000 -0100" channel="une.fr"><title>Sans fin donnée</title></programme>
  <programme start="20261201100000 +0000" stop="20261201110000 +0000" channel="une.fr"><title>Old</title></programme>
  <programme start="20261220100000 +0000" stop="20261220110000 +0000" channel="une.fr"><title>Far</title></programme>
  <programme start="garbage" stop="20261208110000 +0000" channel="une.fr"><title>Bad time</title></programme>
  <programme start="20261208100000 +0000" stop="20261208110000 +0000"><title>No channel</title></programme>
  <programme start="20261208100000 +0000" stop="20261208110000 +0000" channel="deux.fr"><title>  Deux
     ici </title></programme>
</tv>
)";

struct Read {
    bool ok = false;
    GuideData data;
    QString error;
};

Read readBytes(const QByteArray &bytes, const GuideLimits &limits = GuideLimits()) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const GuideLoad load = readGuide(buffer, kTen - 3600, kTen + 24 * 3600, nullptr, limits);
    return {load.data != nullptr, load.data ? load.data->toData() : GuideData(), load.error};
}

TEST(XmltvTime, ReadsEveryFormOfTheZoneAsUtc) {
    const struct {
        const char *text;
        qint64 expected;
    } cases[] = {
        {"20261208100000 +0000", kTen},
        {"20261208110000 +0100", kTen},
        {"20261208083000 -0130", kTen},
        {"20261208153000 +05:30", kTen},
        {"20261208153000 +0530", kTen},
        {"20261208150000 +05", kTen},
        {"20261208070000 -03", kTen},
        {"20261208110000+0100", kTen},
        {"20261208100000", kTen},
        {"202612081000 +0000", kTen},
        {"20261208100000Z", kTen},
        {"20261208100000 UTC", kTen},
        {"20261208100000 GMT", kTen},
        {"20261208100000 utc", kTen},
        // An abbreviation is the one offset it names, whatever the season.
        {"20261208110000 CET", kTen},
        {"20261208120000 CEST", kTen},
        {"20261208110000 BST", kTen},
        {"20261208050000 EST", kTen},
        // A zone of the time zone database has its offset at that time: summer time in July.
        {"20261208110000 Europe/Paris", kTen},
        {"20260708120000 Europe/Paris", kTen - 153 * 86400},
        {"20261208", kTen - 10 * 3600},
        {"202612", kTen - 7 * 86400 - 10 * 3600},
        {"19700101000000 +0000", 0},
        {"20240229120000 +0000", 1709208000},
    };
    for (const auto &c : cases) {
        const std::optional<qint64> parsed = parseXmltvTime(QString::fromLatin1(c.text));
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(*parsed, c.expected) << c.text;
    }
    for (const char *bad :
         {"", "20", "20261308100000", "20261208250000", "2026120810000", "20261208100000 +1",
          "20261208100000 +01:", "20261208100000 +0160", "20261208100000 +1500", "20261208100000 0100",
          "20261208100000 +0100x", "20261208100000 IST", "20261208100000 Mars/Olympus", "2026120810000a",
          "20261232"})
        EXPECT_FALSE(parseXmltvTime(QString::fromLatin1(bad))) << bad;
}

TEST(XmltvReader, KeepsTheWindowsProgrammesInOrderWithTheirFirstTitle) {
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "gzip" : "plain");
        const Read read = readBytes(compressed ? gzipped(kGuide) : kGuide);
        ASSERT_TRUE(read.ok) << qPrintable(read.error);
        ASSERT_EQ(read.data.size(), 2);
        const ChannelProgrammes une = read.data.value("une.fr");
        // The programme without a stop ends where the next one starts.
        EXPECT_EQ(une,
                  ChannelProgrammes({{kTen, kTen + 1800, "Journal"},
                                     {kTen, kTen + 1800, "Sans fin donnée"},
                                     {kTen + 1800, kTen + 3600, "Météo & trafic", "Le temps qu'il fera."}}));
        EXPECT_EQ(read.data.value("deux.fr"), ChannelProgrammes({{kTen, kTen + 3600, "Deux ici"}}));
    }
}

TEST(XmltvReader, RefusesBrokenInputAndNeverKeepsHalfAGuide) {
    const QByteArray cut = kGuide.left(kGuide.indexOf("<programme start=\"20261220"));
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"empty", ""},
        {"cut short", cut},
        {"gzip cut short", gzipped(kGuide).left(200)},
        {"gzip damaged", gzipped(kGuide).replace(40, 20, QByteArray(20, 'x'))},
        {"not a guide", "<html><body>404</body></html>"},
        {"not XML", "this is not a guide"},
        {"binary", QByteArray(5000, '\xff')},
        {"mismatched tags", "<tv><programme></tv></programme>"},
    };
    for (const auto &c : cases) {
        const Read read = readBytes(c.bytes);
        EXPECT_FALSE(read.ok) << c.what;
        EXPECT_FALSE(read.error.isEmpty()) << c.what;
        EXPECT_TRUE(read.data.isEmpty()) << c.what;
    }
}

TEST(XmltvReader, SkipsABadProgrammeAndReadsOnAtTheNext) {
    const QByteArray good = "<programme start=\"20261208100000\" stop=\"20261208103000\" "
                            "channel=\"une.fr\"><title>Journal</title></programme>\n"
                            "<programme start=\"20261208103000\" stop=\"20261208110000\" "
                            "channel=\"une.fr\"><title>Météo</title></programme>\n";
    const struct {
        const char *what;
        QByteArray bad;
        int skipped;
    } cases[] = {
        {"control character",
         "<programme start=\"20261208100000\" stop=\"20261208110000\" "
         "channel=\"deux.fr\"><title>A\x01B</title></programme>",
         1},
        {"stray ampersand",
         "<programme start=\"20261208100000\" stop=\"20261208110000\" channel=\"deux.fr\"><title>A & "
         "B</title></programme>",
         1},
        {"undeclared entity",
         "<programme start=\"20261208100000\" stop=\"20261208110000\" "
         "channel=\"deux.fr\"><title>A&nbsp;B</title></programme>",
         1},
        {"tag left open",
         "<programme start=\"20261208100000\" stop=\"20261208110000\" "
         "channel=\"deux.fr\"><title>A</programme>",
         1},
        {"programme left open",
         "<programme start=\"20261208100000\" stop=\"20261208110000\" channel=\"deux.fr\"><title>A</title>",
         1},
        {"unknown zone",
         "<programme start=\"20261208100000 XYZ\" stop=\"20261208110000\" "
         "channel=\"deux.fr\"><title>A</title></programme>",
         1},
        {"two in a row",
         "<programme start=\"20261208100000\" channel=\"deux.fr\"><title>\x02</title></programme>"
         "<programme start=\"20261208100000\" channel=\"deux.fr\"><title>\x03</title></programme>",
         2},
    };
    for (const auto &c : cases) {
        for (const bool last : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (last ? ", last" : ", between"));
            // A control character in a channel's name is of no concern to the programmes.
            const QByteArray guide =
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n"
                "<channel id=\"une.fr\"><display-name>Une\x07</display-name></channel>\n" +
                (last ? good + c.bad
                      : good.left(good.indexOf('\n') + 1) + c.bad + good.mid(good.indexOf('\n') + 1)) +
                "\n</tv>\n";
            QBuffer buffer;
            buffer.setData(guide);
            buffer.open(QIODevice::ReadOnly);
            XmltvReader reader(kTen - 3600, kTen + 24 * 3600);
            ASSERT_TRUE(reader.read(buffer)) << qPrintable(reader.error());
            const std::shared_ptr<const GuideStore> kept = reader.takeGuide();
            EXPECT_EQ(kept->programmes("une.fr"), ChannelProgrammes({{kTen, kTen + 1800, "Journal"},
                                                                     {kTen + 1800, kTen + 3600, "Météo"}}));
            EXPECT_FALSE(kept->hasChannel("deux.fr"));
            EXPECT_EQ(reader.skippedCount(), c.skipped);
        }
    }
    // Content after the guide's end is not the guide's.
    EXPECT_TRUE(readBytes("<tv>" + good + "</tv>\n<junk>&").ok);
    // A guide none of whose programmes can be read is no better than the one before.
    EXPECT_FALSE(readBytes("<tv>" + cases[0].bad + cases[1].bad + "</tv>").ok);
}

TEST(XmltvReader, AHostileGuideIsStoppedAtTheLimits) {
    QByteArray deep = "<tv>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_FALSE(readBytes(deep).ok) << "deep nesting";

    QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    for (char e = 'b'; e <= 'j'; ++e)
        laughs += QByteArray("<!ENTITY ") + e + " \"" +
                  QByteArray(10, '&').replace("&", QByteArray("&") + char(e - 1) + ";") + "\">";
    laughs += "]><tv><programme start=\"20261208100000\" stop=\"20261208110000\" "
              "channel=\"x\"><title>&j;</title></programme></tv>";
    EXPECT_FALSE(readBytes(laughs).ok) << "entity expansion";

    // A gzip bomb inflates past the cap without being held whole.
    GuideLimits small;
    small.maxBytes = 1 << 20;
    QByteArray big = "<tv>";
    for (int i = 0; i < 300000; ++i)
        big += "<a/>        ";
    const Read bomb = readBytes(gzipped(big + "</tv>"), small);
    EXPECT_FALSE(bomb.ok);
    EXPECT_TRUE(bomb.error.contains("larger")) << qPrintable(bomb.error);
    // One text longer than any guide's is not gathered whole.
    const Read run = readBytes(gzipped("<tv>" + QByteArray(8 << 20, ' ') + "</tv>"));
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(run.error.contains("without markup")) << qPrintable(run.error);

    // Titles are cut; programmes past the cap are left out.
    small.reader.maxTitleCharacters = 5;
    small.reader.maxProgrammes = 1;
    const Read capped = readBytes(kGuide, small);
    ASSERT_TRUE(capped.ok) << qPrintable(capped.error);
    ASSERT_EQ(capped.data.size(), 1);
    EXPECT_EQ(capped.data.value("une.fr"),
              ChannelProgrammes({{kTen + 1800, kTen + 3600, "Météo", "Le temps qu'il fera."}}));
}

TEST(GuideFile, ReadsAGzipFileByItsContentAndSaysWhyAFileCannotBeRead) {
    QTemporaryDir dir;
    QFile file(dir.filePath("guide.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Two gzip members one after the other read as one stream.
    file.write(gzipped(kGuide.left(200)) + gzipped(kGuide.mid(200)));
    file.close();
    const GuideLoad load = loadGuideFile(file.fileName(), kTen - 3600, kTen + 3600);
    ASSERT_TRUE(load.data) << qPrintable(load.error);
    EXPECT_EQ(load.programmes, 4);

    const GuideLoad missing = loadGuideFile(dir.filePath("none.xml"), kTen, kTen + 1);
    EXPECT_FALSE(missing.data);
    EXPECT_TRUE(missing.error.contains("none.xml")) << qPrintable(missing.error);
}

} // namespace
