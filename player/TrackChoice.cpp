#include "player/TrackChoice.h"

#include "player/TrackNames.h"

void TrackChoice::channelChanged(const QString &channel) {
    m_channel = channel;
    m_sounds.clear();
    m_subtitles.clear();
    m_selection = {};
}

TrackChoice::Selection TrackChoice::tracksFound(const QList<StreamTrack> &tracks) {
    m_sounds.clear();
    m_subtitles.clear();
    for (const StreamTrack &track : tracks)
        (track.kind == StreamTrack::Kind::Sound ? m_sounds : m_subtitles).append(track);
    const Remembered remembered = m_remembered.value(m_channel);
    m_selection.sound = remembered.sound ? find(m_sounds, *remembered.sound) : -1;
    if (m_selection.sound < 0)
        m_selection.sound = firstSound(m_sounds, m_desktopLanguage);
    m_selection.subtitles = remembered.subtitles ? find(m_subtitles, *remembered.subtitles) : -1;
    return m_selection;
}

TrackChoice::Selection TrackChoice::chooseSound(int place) {
    if (place < 0 || place >= m_sounds.size())
        return m_selection;
    m_selection.sound = place;
    m_remembered[m_channel].sound = keyOf(m_sounds, place);
    return m_selection;
}

TrackChoice::Selection TrackChoice::chooseSubtitles(int place) {
    const bool none = place < 0 || place >= m_subtitles.size();
    m_selection.subtitles = none ? -1 : place;
    m_remembered[m_channel].subtitles = none ? std::nullopt : std::optional<Key>(keyOf(m_subtitles, place));
    return m_selection;
}

int TrackChoice::firstSound(const QList<StreamTrack> &sounds, const QString &desktopLanguage) {
    int first = -1;
    for (int i = 0; i < sounds.size(); ++i) {
        if (TrackNames::isAudioDescription(sounds[i]))
            continue;
        if (!desktopLanguage.isEmpty() &&
            sounds[i].language.compare(desktopLanguage, Qt::CaseInsensitive) == 0)
            return i;
        if (first < 0)
            first = i;
    }
    // A stream that lists its audio description first still starts with a track that does not.
    return first >= 0 ? first : (sounds.isEmpty() ? -1 : 0);
}

TrackChoice::Key TrackChoice::keyOf(const QList<StreamTrack> &tracks, int place) {
    const StreamTrack &track = tracks[place];
    return {track.language, track.audioDescription, track.hardOfHearing, place};
}

int TrackChoice::find(const QList<StreamTrack> &tracks, const Key &key) {
    const auto alike = [&key](const StreamTrack &track) {
        return track.language == key.language && track.audioDescription == key.audioDescription &&
               track.hardOfHearing == key.hardOfHearing;
    };
    if (key.place < tracks.size() && alike(tracks[key.place]))
        return key.place;
    for (int i = 0; i < tracks.size(); ++i)
        if (alike(tracks[i]))
            return i;
    return -1;
}
