// A track chosen live found again in the replay's reading of the same stream.
#include "player/timeshift/TrackMatch.h"

#include <gtest/gtest.h>

namespace {

StreamTrack track(StreamTrack::Kind kind, const char *language, const char *id, bool marked = false) {
    StreamTrack t;
    t.kind = kind;
    t.language = QString::fromLatin1(language);
    t.format = QStringLiteral("MPEG-1 Audio");
    t.id = QString::fromLatin1(id);
    t.audioDescription = marked;
    return t;
}

TEST(TrackMatch, ATrackIsFoundAgainByWhatItIsAndItsRankAmongTracksAlike) {
    using K = StreamTrack::Kind;
    const QList<StreamTrack> live{track(K::Sound, "fr", "live:41"), track(K::Sound, "fr", "live:42"),
                                  track(K::Sound, "fr", "live:43", true), track(K::Subtitles, "fr", "live:50")};
    // Listed in another order, named otherwise.
    const QList<StreamTrack> replay{track(K::Sound, "fr", "replay:43", true), track(K::Sound, "fr", "replay:41"),
                                    track(K::Subtitles, "fr", "replay:50"), track(K::Sound, "fr", "replay:42")};
    EXPECT_EQ(TrackMatch::sameTrack(live, "live:42", replay), "replay:42");
    EXPECT_EQ(TrackMatch::sameTrack(live, "live:43", replay), "replay:43");
    EXPECT_EQ(TrackMatch::sameTrack(live, "live:50", replay), "replay:50");
    EXPECT_EQ(TrackMatch::sameTrack(live, "", replay), "");
    EXPECT_EQ(TrackMatch::sameTrack(live, "gone", replay), "");
    EXPECT_EQ(TrackMatch::sameTrack(live, "live:50", replay.mid(0, 2)), "");
}

} // namespace
