#pragma once

#include "playlist/ChannelText.h"
#include "playlist/Playlist.h"
#include "programmes/GuideProgramme.h"

#include <QObject>
#include <QString>

class ProgrammeGuide;

// The channels the program offers and which of them is watched: the playlist's rows (number, name,
// address, guide id), the channel playing and the one played before it, and each channel's
// programmes. Windows, typed digits, the banner, the media controls and the recorder read and
// change the channel here; the list window shows it. No widgets: a test gives it a playlist and a
// guide and reads it back.
class ChannelLineup : public QObject {
    Q_OBJECT
public:
    // guide, if given, is the one whose programmes the channels show; it is not owned.
    explicit ChannelLineup(ProgrammeGuide *guide = nullptr, QObject *parent = nullptr);

    // Replaces the channels; nothing is watched any more. The guide fetches from the address the
    // playlist names (none: it fetches nothing).
    void setPlaylist(Playlist playlist);
    const Playlist &playlist() const { return m_playlist; }

    int count() const { return m_playlist.rowCount(); }
    // The rows as the list shows them: "201 - Une".
    const QStringList &rowTexts() const { return m_rowTexts; }
    // A row as the list shows it, its number (the text before " - ", blanks kept) and its name.
    QString rowText(int row) const;
    QString number(int row) const;
    // The number and the name as the banner shows them.
    ChannelTitle title(int row) const;
    // The first row whose number, blanks around it ignored, is number; -1 when none is.
    int rowOfNumber(const QString &number) const;
    // Throws as Playlist::addressOfRow does (EListError) when the row has no address.
    QByteArray address(int row) const { return m_playlist.addressOfRow(row); }
    QString guideId(int row) const { return m_playlist.channelId(row); }
    QString guideAddress() const { return m_playlist.guideAddress(); }
    // The addresses of the rows the next steps from row reach, nearest first, alternately after
    // and before, up to eachWay rows each way. A row without an address (or beyond an end) is an
    // empty string, so each keeps its place; none ends the list.
    QStringList neighbourAddresses(int row, int eachWay) const;
    // Those, then the channel watched before when it is another row with an address of its own
    // and not among them: what the player may keep ready around row.
    QStringList offeredAddresses(int row, int eachWay) const;

    // The channel playing (-1: none, or the start-up stream) and the one that played before it.
    int current() const { return m_current; }
    int previous() const { return m_previous; }
    // A row's tune starts: it is the channel watched now. A row outside the list is ignored.
    void watch(int row);

    // The row's programmes in the guide, in order of start; empty when it is not known.
    ChannelProgrammes programmes(int row) const;
    ProgrammeGuide *guide() const { return m_guide; }

signals:
    void currentChanged(int row);
    // A row's tune started, the row watched already too: whatever names the channel (the banner,
    // the desktop's title) names it anew.
    void watched(int row);
    // The guide brought new programmes.
    void programmesChanged();

private:
    Playlist m_playlist;
    QStringList m_rowTexts;
    ProgrammeGuide *m_guide = nullptr;
    int m_current = -1;
    int m_previous = -1;
};
