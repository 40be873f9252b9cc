#include "QtPrinting.h"

#include "player/PlayerOptions.h"

#include <gtest/gtest.h>

namespace {

struct Flags {
    bool overlay = true;
    bool audio = true;
    bool video = true;
    bool rtspTcp = false;
};

TEST(PlayerOptions, FlagsTurnOnAndOffWithOrWithoutColonAndPrefix) {
    struct Case {
        QStringList options;
        Flags expected;
    };
    const QList<Case> cases = {
        {{}, {}},
        {{"nooverlay"}, {.overlay = false}},
        {{":nooverlay"}, {.overlay = false}},
        {{"no-overlay"}, {.overlay = false}},
        {{":no-audio", "novideo"}, {.audio = false, .video = false}},
        {{"rtsp-tcp"}, {.rtspTcp = true}},
        {{"nooverlay", "overlay"}, {}},
        {{"overlay=0"}, {.overlay = false}},
        {{"rtsp-tcp=yes"}, {.rtspTcp = true}},
        {{"audio=FALSE"}, {.audio = false}},
        // Not ours: ignored, never an error.
        {{"deinterlace", "no-osd", "noise=3", "sout-keep", "nooverlays", "no"}, {}},
    };
    for (const Case &c : cases) {
        const PlayerOptions parsed = PlayerOptions::parse(c.options);
        const QString label = c.options.join(' ');
        EXPECT_EQ(parsed.overlay, c.expected.overlay) << label;
        EXPECT_EQ(parsed.audio, c.expected.audio) << label;
        EXPECT_EQ(parsed.video, c.expected.video) << label;
        EXPECT_EQ(parsed.rtspTcp, c.expected.rtspTcp) << label;
    }
}

TEST(PlayerOptions, NumbersAreRead) {
    const PlayerOptions parsed = PlayerOptions::parse({":network-caching=300", "ttl=1"});
    EXPECT_EQ(parsed.networkCachingMs, 300);
    EXPECT_EQ(parsed.ttl, 1);
    EXPECT_FALSE(PlayerOptions::parse({"nooverlay"}).networkCachingMs);
}

TEST(PlayerOptions, TheRecordingChainIsParsed) {
    const PlayerOptions parsed = PlayerOptions::parse({":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab="
                                                       "192}:standard{mux=ps,url=/tmp/a.mpg,access=file}",
                                                       "ttl=1"});
    ASSERT_TRUE(parsed.sout);
    EXPECT_EQ(parsed.sout->url, "/tmp/a.mpg");
    EXPECT_EQ(parsed.sout->videoBitrateKbps, 3072);
}

TEST(PlayerOptions, MalformedKnownOptionsAreRefusedWithAFrenchReason) {
    struct Case {
        QString option;
        QString reasonPart;
    };
    const QList<Case> cases = {
        {"", "Option vide"},
        {":", "Option vide"},
        {"=3", "nom absent"},
        {"network-caching", "valeur attendue"},
        {"network-caching=", "n'est pas un nombre"},
        {"network-caching=abc", "« abc » n'est pas un nombre"},
        {"network-caching=-5", "n'est pas un nombre"},
        {"ttl=256", "entre 0 et 255"},
        {"overlay=peut-être", "booléenne"},
        {"nooverlay=1", "désactivée"},
        {"no-ttl", "désactivée"},
        {"sout", "valeur attendue"},
        {"sout=#transcode{vcodec=h264}:standard{mux=ps,url=/tmp/a.mpg,access=file}", ""},
    };
    for (const Case &c : cases) {
        try {
            PlayerOptions::parse({"nooverlay", c.option});
            ADD_FAILURE() << "accepted " << c.option;
        } catch (const PlayerOptionError &e) {
            const QString message = QString::fromUtf8(e.what());
            EXPECT_TRUE(message.contains(c.reasonPart)) << c.option << " -> " << message;
            EXPECT_FALSE(message.isEmpty());
        }
    }
}

} // namespace
