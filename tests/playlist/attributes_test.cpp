#include "playlist/Playlist.h"
#include "playlist/PlaylistAttributes.h"

#include <gtest/gtest.h>

namespace {

TEST(PlaylistAttributes, ValuesQuotedEitherWayOrBareAndOnlyForTheWholeName) {
    const struct {
        const char *text, *name, *expected;
    } cases[] = {
        {R"(#EXTINF:-1 tvg-id="une.fr" tvg-logo="x.png")", "tvg-id", "une.fr"},
        {"#EXTINF:-1 tvg-id='une.fr'", "tvg-id", "une.fr"},
        {"#EXTINF:-1 tvg-id=une.fr group-title=x", "tvg-id", "une.fr"},
        {"#EXTINF:-1\ttvg-id=\"a b\"", "tvg-id", "a b"},
        {R"(#EXTINF:-1 xtvg-id="no" tvg-id="yes")", "tvg-id", "yes"},
        {R"(#EXTINF:-1 tvg-id-extra="no")", "tvg-id", ""},
        {R"(#EXTINF:-1 tvg-id="open to the end)", "tvg-id", "open to the end"},
        {"#EXTINF:-1 tvg-id=", "tvg-id", ""},
        {"#EXTINF:-1 tvg-id", "tvg-id", ""},
        {R"(#EXTINF:-1 tvg-id="")", "tvg-id", ""},
        {"", "tvg-id", ""},
        {R"(url-tvg="http://a/g.xml" x-tvg-url="http://b/g.xml")", "x-tvg-url", "http://b/g.xml"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(attributeValue(c.text, c.name), QByteArray(c.expected)) << c.text;
}

TEST(PlaylistAttributes, TheEntryLinesAttributesEndAtItsFirstCommaWhereTheNameBegins) {
    const Playlist playlist(PlaylistLines(R"(#EXTM3U url-tvg="http://box/guide.xml.gz"
#EXTINF:-1 tvg-id="une.fr" group-title="TNT",201 - Une
rtsp://box/201
#EXTINF:-1,202 - Deux tvg-id="not.an.attribute"
rtsp://box/202
#EXTINF:-1 tvg-id=trois.fr
rtsp://box/203
)"));
    ASSERT_EQ(playlist.rowCount(), 3);
    EXPECT_EQ(playlist.rowName(0), QByteArray("201 - Une"));
    EXPECT_EQ(playlist.rowName(1), QByteArray(R"(202 - Deux tvg-id="not.an.attribute")"));
    EXPECT_EQ(playlist.addressOfRow(0), QByteArray("rtsp://box/201"));
    EXPECT_EQ(playlist.channelId(0), QStringLiteral("une.fr"));
    EXPECT_EQ(playlist.channelId(1), QString());
    EXPECT_EQ(playlist.channelId(2), QStringLiteral("trois.fr")) << "a line without a comma is all attributes";
    EXPECT_EQ(playlist.channelId(3), QString());
    EXPECT_EQ(playlist.channelId(-1), QString());
    EXPECT_EQ(playlist.guideAddress(), QStringLiteral("http://box/guide.xml.gz"));
}

TEST(PlaylistAttributes, TheGuideAddressComesFromTheHeaderLineAlone) {
    const struct {
        const char *text, *expected;
    } cases[] = {
        {"#EXTM3U x-tvg-url=\"/srv/guide.xml\"\n", "/srv/guide.xml"},
        {"#EXTM3U url-tvg=\"http://a/1.xml,http://b/2.xml\"\n", "http://a/1.xml"},
        {"#EXTM3U url-tvg=\" http://a/g.xml \"\r\n", "http://a/g.xml"},
        {"\xEF\xBB\xBF#EXTM3U url-tvg=g.xml\n", "g.xml"},
        {"#EXTM3U\n#EXTM3U url-tvg=\"late.xml\"\n", ""},
        {"#EXTINF:-1 url-tvg=\"entry.xml\",A\nrtsp://a\n", ""},
        {"#extm3u url-tvg=\"lower.xml\"\n", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Playlist(PlaylistLines(c.text)).guideAddress(), QString::fromUtf8(c.expected)) << c.text;
}

} // namespace
