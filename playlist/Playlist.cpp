#include "playlist/Playlist.h"

#include "playlist/ChannelText.h"
#include "playlist/PlaylistAttributes.h"
#include "playlist/PlaylistErrors.h"
#include "playlist/PlaylistFile.h"

#include <QIODevice>

namespace {

QByteArrayView nameOfEntry(QByteArrayView line) {
    const qsizetype comma = line.indexOf(',');
    return comma < 0 ? line : line.sliced(comma + 1);
}

} // namespace

bool isChannelEntryLine(QByteArrayView line) {
    return line.startsWith("#EXTINF");
}

Playlist::Playlist(PlaylistLines lines) : m_lines(std::move(lines)) {
    for (qsizetype i = 0; i < m_lines.count(); ++i) {
        if (isChannelEntryLine(m_lines.view(i)))
            m_entryLines.append(i);
    }
}

Playlist Playlist::read(QIODevice &device) {
    return Playlist(PlaylistLines(device.readAll()));
}

void Playlist::loadFile(const QString &fileName) {
    *this = Playlist();
    *this = Playlist(PlaylistLines(PlaylistFile::readAll(fileName)));
}

QByteArray Playlist::rowName(int row) const {
    return nameOfEntry(m_lines.view(m_entryLines.at(row))).toByteArray();
}

QString Playlist::displayName(int row) const {
    return decodeChannelName(nameOfEntry(m_lines.view(m_entryLines.at(row))));
}

QStringList Playlist::displayNames() const {
    QStringList names;
    names.reserve(m_entryLines.size());
    for (const qsizetype line : m_entryLines)
        names.append(decodeChannelName(nameOfEntry(m_lines.view(line))));
    return names;
}

QByteArray Playlist::addressOfRow(int row) const {
    if (row < 0 || row >= rowCount())
        throw EListError(-1);
    const qsizetype first = m_entryLines.at(row) + 1;
    const qsizetype stop = row + 1 < rowCount() ? m_entryLines.at(row + 1) : m_lines.count();
    for (qsizetype i = first; i < stop; ++i) {
        const QByteArrayView line = m_lines.view(i);
        if (!line.isEmpty() && !line.startsWith('#'))
            return line.toByteArray();
    }
    throw EListError(first);
}

QString Playlist::guideAddress() const {
    if (m_lines.isEmpty() || !m_lines.view(0).startsWith("#EXTM3U"))
        return {};
    const QByteArrayView header = m_lines.view(0).sliced(7);
    QByteArray address = attributeValue(header, "url-tvg");
    if (address.isEmpty())
        address = attributeValue(header, "x-tvg-url");
    const qsizetype comma = address.indexOf(',');
    if (comma >= 0)
        address.truncate(comma);
    return QString::fromUtf8(address).trimmed();
}

QString Playlist::channelId(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    return QString::fromUtf8(attributeValue(entryAttributes(m_lines.view(m_entryLines.at(row))), "tvg-id"))
        .trimmed();
}
