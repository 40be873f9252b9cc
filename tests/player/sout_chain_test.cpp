#include "player/SoutChain.h"

#include <gtest/gtest.h>

namespace {

struct GoodChain {
    const char *text;
    SoutChain expected;
};

void PrintTo(const GoodChain &chain, std::ostream *out) {
    *out << chain.text;
}

class SoutChainGood : public ::testing::TestWithParam<GoodChain> {};

TEST_P(SoutChainGood, ReadsEveryField) {
    const SoutChain chain = SoutChain::parse(QString::fromUtf8(GetParam().text));
    const SoutChain &want = GetParam().expected;
    EXPECT_EQ(chain.videoCodec, want.videoCodec);
    EXPECT_EQ(chain.videoBitrateKbps, want.videoBitrateKbps);
    EXPECT_EQ(chain.audioCodec, want.audioCodec);
    EXPECT_EQ(chain.audioBitrateKbps, want.audioBitrateKbps);
    EXPECT_EQ(chain.mux, want.mux);
    EXPECT_EQ(chain.url, want.url);
    EXPECT_EQ(chain.access, want.access);
}

const SoutChain kRecord{"mp2v", 3072, "mpga", 192, "ps", "/tmp/enr/201-20261207-203015.mpg", "file"};

INSTANTIATE_TEST_SUITE_P(
    Chains, SoutChainGood,
    ::testing::Values(
        GoodChain{":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=/tmp/enr/"
                  "201-20261207-203015.mpg,access=file}",
                  kRecord},
        GoodChain{"sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=/tmp/enr/"
                  "201-20261207-203015.mpg,access=file}",
                  kRecord},
        GoodChain{"  #transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:std{mux=ps,dst=/tmp/enr/"
                  "201-20261207-203015.mpg,access=file}\n",
                  kRecord},
        // Options in any order; access defaults to a file.
        GoodChain{"#transcode{ab=128,acodec=mpga,vb=6000,vcodec=mp2v}:std{url=/v/a.ts,mux=ts}",
                  {"mp2v", 6000, "mpga", 128, "ts", "/v/a.ts", "file"}},
        // Spaces belong to the path; quotes let it hold ',' and '}'.
        GoodChain{
            "#transcode{vcodec=mp2v,vb=64,acodec=mpga,ab=384}:standard{mux=ps,url=\"/mes vidéos/a,b}.mpg\","
            "access=file}",
            {"mp2v", 64, "mpga", 384, "ps", "/mes vidéos/a,b}.mpg", "file"}},
        GoodChain{"#transcode{vcodec=mp2v,vb=80000,acodec=mpga,ab=32}:standard{mux=ps,url='C:\\x y.mpg',"
                  "access=file}",
                  {"mp2v", 80000, "mpga", 32, "ps", "C:\\x y.mpg", "file"}}));

struct BadChain {
    const char *text;
    const char *messagePart; // what the user must be told
};

void PrintTo(const BadChain &chain, std::ostream *out) {
    *out << chain.text;
}

class SoutChainBad : public ::testing::TestWithParam<BadChain> {};

TEST_P(SoutChainBad, ThrowsAFrenchReason) {
    try {
        SoutChain::parse(QString::fromUtf8(GetParam().text));
        FAIL() << "accepted " << GetParam().text;
    } catch (const SoutChainError &e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().messagePart), std::string::npos) << e.what();
    }
}

#define TRANSCODE "#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}"
#define STANDARD ":standard{mux=ps,url=/tmp/a.mpg,access=file}"

INSTANTIATE_TEST_SUITE_P(
    Chains, SoutChainBad,
    ::testing::Values(
        BadChain{"", "vide"}, BadChain{":sout=", "vide"},
        // Malformed
        BadChain{"transcode{vcodec=mp2v}", "« # » attendu en position 1"},
        BadChain{TRANSCODE ":standard{mux=ps,url=/tmp/a.mpg,access=file", "« } » attendu"},
        BadChain{TRANSCODE ":standard{mux=ps,url,access=file}", "« = » attendu"},
        BadChain{TRANSCODE ":standard{mux=ps,url=\"/tmp/a.mpg,access=file}", "guillemet non fermé"},
        BadChain{TRANSCODE ":standard{mux=ps,url=/tmp/a.mpg,access=file}x", "« : » attendu"},
        BadChain{TRANSCODE ":standard{mux=ps,,url=/tmp/a.mpg}", "un nom attendu"},
        // Other shapes of chain
        BadChain{"#standard{mux=ps,url=/tmp/a.mpg,access=file}", "non prise en charge"},
        BadChain{TRANSCODE ":display", "non prise en charge"},
        BadChain{TRANSCODE STANDARD ":display", "non prise en charge"},
        // Other codecs, rates, mux, access
        BadChain{"#transcode{vcodec=h264,vb=3072,acodec=mpga,ab=192}" STANDARD, "Codec vidéo « h264 »"},
        BadChain{"#transcode{vcodec=mp2v,vb=3072,acodec=mp3,ab=192}" STANDARD, "Codec audio « mp3 »"},
        BadChain{"#transcode{vcodec=mp2v,vb=3072k,acodec=mpga,ab=192}" STANDARD, "Débit vidéo « 3072k »"},
        BadChain{"#transcode{vcodec=mp2v,vb=-5,acodec=mpga,ab=192}" STANDARD, "Débit vidéo « -5 »"},
        BadChain{"#transcode{vcodec=mp2v,vb=99999999999,acodec=mpga,ab=192}" STANDARD, "Débit vidéo"},
        BadChain{"#transcode{vcodec=mp2v,vb=,acodec=mpga,ab=192}" STANDARD, "Débit vidéo «  »"},
        BadChain{"#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=200}" STANDARD, "Débit audio « 200 »"},
        BadChain{TRANSCODE ":standard{mux=mp4,url=/tmp/a.mpg,access=file}", "Multiplexage « mp4 »"},
        BadChain{TRANSCODE ":standard{mux=ps,url=/tmp/a.mpg,access=http}", "Accès « http »"},
        // Missing, doubled and unknown options
        BadChain{"#transcode{vcodec=mp2v,acodec=mpga,ab=192}" STANDARD, "Option « vb » manquante"},
        BadChain{TRANSCODE ":standard{mux=ps,access=file}", "Option « url » manquante"},
        BadChain{TRANSCODE ":standard{mux=ps,url=,access=file}", "Aucun fichier de destination"},
        BadChain{TRANSCODE ":standard{mux=ps,url=\"\",access=file}", "Aucun fichier de destination"},
        BadChain{TRANSCODE ":standard{mux=ps,url=/a.mpg,dst=/b.mpg}", "« dst » donnée deux fois"},
        BadChain{"#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192,scale=0.5}" STANDARD,
                 "Option « scale » non prise en charge"}));

} // namespace
