#include "QtPrinting.h"

#include "player/TrackChoice.h"
#include "player/TrackNames.h"

#include <gtest/gtest.h>

// How the menus name a channel's tracks, which play first, and that a choice holds for its channel.
namespace {

using Kind = StreamTrack::Kind;

StreamTrack sound(const char *language, bool audioDescription = false) {
    StreamTrack track{Kind::Sound, QString::fromLatin1(language), {}, {}};
    track.audioDescription = audioDescription;
    return track;
}

StreamTrack subtitles(const char *language, bool hardOfHearing = false) {
    StreamTrack track{Kind::Subtitles, QString::fromLatin1(language), {}, {}};
    track.hardOfHearing = hardOfHearing;
    return track;
}

TEST(TrackNames, NamesTracksInFrenchByLanguageAndMark) {
    EXPECT_EQ(TrackNames::languageName("fr"), "Français");
    EXPECT_EQ(TrackNames::languageName("fre"), "Français");
    EXPECT_EQ(TrackNames::languageName("DEU"), "Allemand");
    EXPECT_EQ(TrackNames::languageName("nl"), "Néerlandais");
    EXPECT_EQ(TrackNames::languageName("xyz"), "");

    EXPECT_EQ(TrackNames::labels({sound("fr"), sound("en"), sound("fr", true), sound(""), sound("qad"),
                                  sound("es"), sound("xyz")}),
              QStringList({"Français", "Anglais", "Audiodescription (piste 3)", "Piste 4",
                           "Audiodescription (piste 5)", "Espagnol", "Piste 7"}));
    EXPECT_EQ(TrackNames::labels({subtitles("fr"), subtitles("fr", true), subtitles("de"), subtitles("")}),
              QStringList({"Français", "Français (malentendants)", "Allemand", "Piste 4"}));
    // Two tracks alike are told apart by their place.
    EXPECT_EQ(TrackNames::labels({sound("it"), sound("it")}),
              QStringList({"Italien (piste 1)", "Italien (piste 2)"}));
}

TEST(TrackChoice, FirstSoundIsTheDesktopsLanguageNeverAudioDescription) {
    const struct {
        QList<StreamTrack> sounds;
        const char *desktop;
        int first;
    } cases[] = {
        {{sound("en"), sound("fr"), sound("fr", true)}, "fr", 1},
        {{sound("fr", true), sound("fr")}, "fr", 1},
        {{sound("en"), sound("de")}, "fr", 0},
        {{sound("fr", true), sound("en")}, "fr", 1},
        {{sound("qad"), sound("de")}, "", 1},
        {{sound("fr", true)}, "fr", 0},
        {{}, "fr", -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TrackChoice::firstSound(c.sounds, QString::fromLatin1(c.desktop)), c.first)
            << c.desktop << " " << c.sounds.size();
}

TEST(TrackChoice, AChoiceHoldsForItsChannelAndNoOther) {
    const QList<StreamTrack> tracks = {sound("fr"), sound("en"), sound("fr", true), subtitles("fr"),
                                       subtitles("fr", true)};
    TrackChoice choice(QStringLiteral("fr"));
    choice.channelChanged("rtsp://box/201");
    EXPECT_EQ(choice.tracksFound(tracks), (TrackChoice::Selection{0, -1}));
    EXPECT_EQ(choice.sounds().size(), 3);
    EXPECT_EQ(choice.subtitles().size(), 2);
    EXPECT_EQ(choice.chooseSound(1), (TrackChoice::Selection{1, -1}));
    EXPECT_EQ(choice.chooseSubtitles(1), (TrackChoice::Selection{1, 1}));

    choice.channelChanged("rtsp://box/202");
    EXPECT_EQ(choice.selection(), (TrackChoice::Selection{-1, -1}));
    EXPECT_TRUE(choice.sounds().isEmpty());
    EXPECT_EQ(choice.tracksFound(tracks), (TrackChoice::Selection{0, -1}));

    choice.channelChanged("rtsp://box/201");
    EXPECT_EQ(choice.tracksFound(tracks), (TrackChoice::Selection{1, 1}));
    // Numbered otherwise the next time: found again by language and mark.
    EXPECT_EQ(choice.tracksFound({subtitles("fr", true), sound("en"), sound("fr")}),
              (TrackChoice::Selection{0, 0}));
    // Gone from the stream: the first rule again, and no subtitles.
    EXPECT_EQ(choice.tracksFound({sound("de"), sound("fr")}), (TrackChoice::Selection{1, -1}));

    EXPECT_EQ(choice.chooseSubtitles(-1).subtitles, -1);
    EXPECT_EQ(choice.chooseSound(7).sound, 1);
    choice.channelChanged("rtsp://box/201");
    EXPECT_EQ(choice.tracksFound(tracks), (TrackChoice::Selection{1, -1}));
}

} // namespace
