#include "channels/ChannelLineup.h"

#include "playlist/PlaylistErrors.h"
#include "programmes/ProgrammeGuide.h"

ChannelLineup::ChannelLineup(ProgrammeGuide *guide, QObject *parent) : QObject(parent), m_guide(guide) {
    if (m_guide)
        connect(m_guide, &ProgrammeGuide::changed, this, &ChannelLineup::programmesChanged);
}

void ChannelLineup::setPlaylist(Playlist playlist) {
    m_playlist = std::move(playlist);
    m_rowTexts = m_playlist.displayNames();
    m_current = -1;
    m_previous = -1;
    if (m_guide)
        m_guide->start(guideAddress());
}

QString ChannelLineup::rowText(int row) const {
    return m_rowTexts.value(row);
}

QString ChannelLineup::number(int row) const {
    return channelNumber(rowText(row));
}

ChannelTitle ChannelLineup::title(int row) const {
    return channelTitle(rowText(row));
}

int ChannelLineup::rowOfNumber(const QString &number) const {
    return rowOfChannelNumber(m_rowTexts, number);
}

void ChannelLineup::watch(int row) {
    if (row < 0 || row >= count())
        return;
    if (row != m_current) {
        m_previous = m_current;
        m_current = row;
        emit currentChanged(row);
    }
    emit watched(row);
}

QStringList ChannelLineup::neighbourAddresses(int row, int eachWay) const {
    QStringList addresses;
    for (int distance = 1; distance <= eachWay; ++distance) {
        for (const int neighbour : {row + distance, row - distance}) {
            QString address;
            if (neighbour >= 0 && neighbour < count()) {
                try {
                    address = QString::fromLocal8Bit(m_playlist.addressOfRow(neighbour));
                } catch (const EListError &) {
                    // Offered as none: the rows after it keep their places.
                }
            }
            addresses.append(address);
        }
    }
    while (!addresses.isEmpty() && addresses.last().isEmpty())
        addresses.removeLast();
    return addresses;
}

QStringList ChannelLineup::offeredAddresses(int row, int eachWay) const {
    QStringList addresses = neighbourAddresses(row, eachWay);
    if (m_previous < 0 || m_previous == row)
        return addresses;
    try {
        const QString before = QString::fromLocal8Bit(m_playlist.addressOfRow(m_previous));
        if (!before.isEmpty() && !addresses.contains(before))
            addresses.append(before);
    } catch (const EListError &) {
        // A row without an address is never offered.
    }
    return addresses;
}

ChannelProgrammes ChannelLineup::programmes(int row) const {
    const QString id = guideId(row);
    return m_guide && !id.isEmpty() ? m_guide->programmes(id) : ChannelProgrammes();
}
