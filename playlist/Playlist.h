#pragma once

#include "playlist/PlaylistLines.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// The channels of an M3U playlist: one row per "#EXTINF" line, in file order, and the lookup
// of a row's stream address. The bytes are kept as read; names are decoded only for display.
class Playlist {
public:
    static constexpr const char *kFileName = "playlist.m3u";

    Playlist() = default;
    explicit Playlist(PlaylistLines lines);

    static Playlist read(QIODevice &device);

    // Replace the contents with the named file; on failure (EFOpenError) the playlist is left
    // empty, so the list shows no channels and the program goes on.
    void loadFile(const QString &fileName);
    // "playlist.m3u" by its relative name, that is in the working folder.
    void loadFromWorkingFolder() { loadFile(QString::fromLatin1(kFileName)); }

    const PlaylistLines &lines() const { return m_lines; }

    int rowCount() const { return int(m_entryLines.size()); }
    // The bytes after the entry line's first comma (the whole line when it has none).
    QByteArray rowName(int row) const;
    QString displayName(int row) const;
    QStringList displayNames() const;

    // The first line after the row's entry line that is neither empty nor a "#" line, looked
    // for up to the next entry line, so headers and option lines are skipped. Throws
    // EListError with the line right after the entry line when there is none, and with -1 when
    // the row does not exist (-1 is "no selection").
    QByteArray addressOfRow(int row) const;

    // The guide the header line names ("#EXTM3U url-tvg=\"…\"", or x-tvg-url), first line only;
    // empty when there is none. A list of guides separated by commas gives the first.
    QString guideAddress() const;
    // The row's tvg-id, which names its channel in the guide; empty when it has none.
    QString channelId(int row) const;

private:
    PlaylistLines m_lines;
    QList<qsizetype> m_entryLines;
};

bool isChannelEntryLine(QByteArrayView line);
