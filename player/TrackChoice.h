#pragma once

#include "player/StreamTrack.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// The sound and subtitle tracks of the channel watched and which of them play. The first time a
// channel plays: the desktop's language if a sound track has it and does not describe the picture,
// else the stream's first track that does not (audio description only when there is nothing else),
// and no subtitles. A choice made on a channel holds for it until the
// program ends (nothing is stored), found again by language and marks should its streams be
// numbered otherwise next time.
class TrackChoice {
public:
    // desktopLanguage: two letters ("fr"), as QLocale names the desktop's.
    explicit TrackChoice(QString desktopLanguage) : m_desktopLanguage(std::move(desktopLanguage)) {}

    // Places in sounds() and subtitles(); -1 for none.
    struct Selection {
        int sound = -1;
        int subtitles = -1;
        bool operator==(const Selection &) const = default;
    };

    // Another channel is tuned: nothing of it is known until its streams are found.
    void channelChanged(const QString &channel);
    // The channel's streams were found: what should play, as chosen on it before or by the first rule.
    Selection tracksFound(const QList<StreamTrack> &tracks);
    // The user's choice on the channel watched; out of range means none (for subtitles) or no change.
    Selection chooseSound(int place);
    Selection chooseSubtitles(int place);

    QString channel() const { return m_channel; }
    const QList<StreamTrack> &sounds() const { return m_sounds; }
    const QList<StreamTrack> &subtitles() const { return m_subtitles; }
    Selection selection() const { return m_selection; }

    // The first rule alone: the place of the sound track to play first, -1 when there is none.
    static int firstSound(const QList<StreamTrack> &sounds, const QString &desktopLanguage);

private:
    struct Key {
        QString language;
        bool audioDescription = false;
        bool hardOfHearing = false;
        int place = -1;
    };
    struct Remembered {
        std::optional<Key> sound;
        // Chosen subtitles; none chosen and "Aucun" alike leave them off.
        std::optional<Key> subtitles;
    };
    static Key keyOf(const QList<StreamTrack> &tracks, int place);
    static int find(const QList<StreamTrack> &tracks, const Key &key);

    QString m_desktopLanguage;
    QString m_channel;
    QList<StreamTrack> m_sounds;
    QList<StreamTrack> m_subtitles;
    Selection m_selection;
    QHash<QString, Remembered> m_remembered;
};
