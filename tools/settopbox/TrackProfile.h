#pragma once

// The box's channels with several sound tracks and subtitles, as a test hears and sees them. The box
// builds those channels from these tables, and tests read the same tables: which tone each sound
// track plays, what each subtitle track shows and when, and how each track is marked.
//
// In the program table the picture sits on PID 65 (0x41) and the tracks follow in the order listed
// here on PIDs 66, 67... (0x42...). The multiplexer writes ISO 639-2/B codes ("fre", not "fra").
// An audio-description track carries audio_type 3 in its ISO 639 language descriptor; a subtitle
// track for the hard of hearing carries subtitling_type 0x20 in its subtitling descriptor (0x10
// for plain subtitles).

#include <string_view>
#include <vector>

namespace halcyon::settopbox {

inline constexpr const char *kAudioTracksProfile = "audio-tracks";
inline constexpr const char *kSubtitlesProfile = "dvb-subtitles";
inline constexpr const char *kTracksProfile = "tracks";
// As "tracks", but the audio-description track's language is "qad", as many French broadcasters
// write it, instead of French marked by its audio_type alone.
inline constexpr const char *kTracksQadProfile = "tracks-qad";

// Far from each other and from the broadcast channels' own pitches (330 + 40 n Hz), and none a
// harmonic of another, so the loudest frequency names the track.
inline constexpr int kFrenchToneHz = 440;
inline constexpr int kEnglishToneHz = 660;
inline constexpr int kDescriptionToneHz = 990;

// Text colours as 0xAARRGGBB, drawn with a black outline at the bottom centre of a 720x576 page.
inline constexpr unsigned kFrenchSubtitleColour = 0xffffff00;
inline constexpr unsigned kEnglishSubtitleColour = 0xff00ffff;

// Each subtitle shows for kSubtitleShownSeconds at the start of every kSubtitlePeriodSeconds of
// the channel's own time, then the page is cleared until the next one. The line names the
// language and the count of periods so far: "Français 3", "English 3".
inline constexpr int kSubtitlePeriodSeconds = 5;
inline constexpr int kSubtitleShownSeconds = 2;

inline constexpr bool subtitleShownAt(long long second) {
    return second % kSubtitlePeriodSeconds < kSubtitleShownSeconds;
}
inline constexpr long long subtitleCountAt(long long second) {
    return second / kSubtitlePeriodSeconds;
}

enum class TrackKind { Sound, Subtitles };

struct BoxTrack {
    TrackKind kind = TrackKind::Sound;
    // The language the multiplexer is told, ISO 639-2.
    const char *language = nullptr;
    // Written over the language in the program table when set: codes the multiplexer does not know.
    const char *tableLanguage = nullptr;
    int toneHz = 0;
    unsigned colour = 0;
    // The words before the counter on a subtitle line.
    const char *text = nullptr;
    bool audioDescription = false;
    bool hardOfHearing = false;
};

inline constexpr BoxTrack kFrenchSound{.kind = TrackKind::Sound, .language = "fra", .toneHz = kFrenchToneHz};
inline constexpr BoxTrack kEnglishSound{
    .kind = TrackKind::Sound, .language = "eng", .toneHz = kEnglishToneHz};
inline constexpr BoxTrack kDescriptionSound{
    .kind = TrackKind::Sound, .language = "fra", .toneHz = kDescriptionToneHz, .audioDescription = true};
inline constexpr BoxTrack kDescriptionSoundQad{.kind = TrackKind::Sound,
                                               .language = "fra",
                                               .tableLanguage = "qad",
                                               .toneHz = kDescriptionToneHz,
                                               .audioDescription = true};
inline constexpr BoxTrack kFrenchSubtitles{.kind = TrackKind::Subtitles,
                                           .language = "fra",
                                           .colour = kFrenchSubtitleColour,
                                           .text = "Français",
                                           .hardOfHearing = true};
inline constexpr BoxTrack kEnglishSubtitles{
    .kind = TrackKind::Subtitles, .language = "eng", .colour = kEnglishSubtitleColour, .text = "English"};

// The tracks of a profile in program-table order; empty for the other profiles.
inline std::vector<BoxTrack> boxTracks(std::string_view profile) {
    if (profile == kAudioTracksProfile)
        return {kFrenchSound, kEnglishSound, kDescriptionSound};
    if (profile == kSubtitlesProfile)
        return {kFrenchSound, kFrenchSubtitles, kEnglishSubtitles};
    if (profile == kTracksProfile)
        return {kFrenchSound, kEnglishSound, kDescriptionSound, kFrenchSubtitles, kEnglishSubtitles};
    if (profile == kTracksQadProfile)
        return {kFrenchSound, kEnglishSound, kDescriptionSoundQad, kFrenchSubtitles, kEnglishSubtitles};
    return {};
}

inline constexpr int kTrackVideoPid = 65;
inline constexpr int kFirstTrackPid = 66;

} // namespace halcyon::settopbox
