#include "QtPrinting.h"

#include "player/ByteRate.h"
#include "player/StreamFactsText.h"

#include <gtest/gtest.h>

// The stream's facts as the user reads them, and the rate they are told.
namespace {

TEST(StreamFactsText, TellsEachFactOnItsLineInFrench) {
    StreamFacts facts;
    facts.video = {"video/x-h264", 0, 0};
    facts.size = QSize(720, 576);
    facts.frameRate = 25;
    facts.interlaced = true;
    facts.sound = {"audio/mpeg", 1, 2};
    facts.soundChannels = 2;
    facts.sampleRate = 48000;
    facts.soundTracks = {"Français", "Anglais"};
    facts.bitsPerSecond = 3240000;
    facts.lostPackets = 12;
    facts.address = "rtsp://192.168.1.10:554/201";
    EXPECT_EQ(StreamFactsText::lines(facts),
              QStringList({"Informations sur le flux", "Vidéo : H.264, 720×576, 25 images/s, entrelacée",
                           "Son : MPEG-1 Layer II, stéréo, 48 kHz", "Pistes son : Français, Anglais",
                           "Débit : 3,2 Mbit/s", "Paquets perdus : 12", "Décodeur : 192.168.1.10:554"}));

    // A radio channel just tuned, from a file: what is not known says so.
    StreamFacts radio;
    radio.sound = {"audio/mpeg", 4, 0};
    radio.soundChannels = 6;
    radio.sampleRate = 44100;
    radio.address = "/home/u/radio.ts";
    EXPECT_EQ(StreamFactsText::lines(radio),
              QStringList({"Informations sur le flux", "Vidéo : aucune", "Son : AAC, 5.1, 44,1 kHz",
                           "Débit : mesure en cours", "Paquets perdus : non comptés",
                           "Décodeur : /home/u/radio.ts"}));
}

TEST(StreamFactsText, NamesCodecsRatesAndBoxesAsPeopleKnowThem) {
    const QList<std::pair<StreamFacts::Codec, QString>> codecs = {
        {{"video/mpeg", 2, 0}, "MPEG-2"},   {{"video/mpeg", 4, 0}, "MPEG-4"},
        {{"video/x-h265", 0, 0}, "H.265"},  {{"audio/mpeg", 1, 3}, "MP3"},
        {{"audio/mpeg", 2, 0}, "AAC"},      {{"audio/x-ac3", 0, 0}, "AC-3"},
        {{"audio/x-eac3", 0, 0}, "E-AC-3"}, {{"video/x-vp9", 0, 0}, "vp9"}};
    for (const auto &[codec, name] : codecs)
        EXPECT_EQ(StreamFactsText::codecName(codec), name) << codec.media;
    EXPECT_EQ(StreamFactsText::bitrate(850400), "850 kbit/s");
    EXPECT_EQ(StreamFactsText::bitrate(2000000), "2 Mbit/s");
    EXPECT_EQ(StreamFactsText::boxOf("rtsp://box.local/201"), "box.local");
    EXPECT_EQ(StreamFactsText::boxOf("http://[::1]:8080/t"), "[::1]:8080");
    StreamFacts film;
    film.video = {"video/mpeg", 2, 0};
    film.size = QSize(1920, 1080);
    film.frameRate = 30000.0 / 1001;
    EXPECT_EQ(StreamFactsText::lines(film).value(1),
              "Vidéo : MPEG-2, 1920×1080, 29,97 images/s, progressive");
}

// Bytes of whole seconds only, over the last five: a burst ages out, a silence counts as nothing.
TEST(ByteRate, CountsTheLastCompleteSecondsOnly) {
    ByteRate rate;
    EXPECT_EQ(rate.bitsPerSecond(10000), -1);
    rate.add(10100, 1000);
    rate.add(10900, 1000);
    EXPECT_EQ(rate.bitsPerSecond(10950), -1) << "no whole second yet";
    EXPECT_EQ(rate.bitsPerSecond(11000), 16000);
    rate.add(11500, 500);
    EXPECT_EQ(rate.bitsPerSecond(12000), (2000 + 500) * 8 / 2);
    for (qint64 ms = 12000; ms < 20000; ms += 100)
        rate.add(ms, 100);
    EXPECT_EQ(rate.bitsPerSecond(20000), 8000) << "the first seconds aged out";
    // Three silent seconds then a byte: the silence is counted, not what the slots held before.
    rate.add(23500, 1);
    EXPECT_EQ(rate.bitsPerSecond(24000), (1000 + 0 * 3 + 1) * 8 / 5);
    EXPECT_EQ(rate.bitsPerSecond(40000), 0) << "nothing came for long";
}

} // namespace
