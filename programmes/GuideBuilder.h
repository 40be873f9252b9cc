#pragma once

#include "programmes/GuideStore.h"

#include <QHash>
#include <QString>
#include <memory>

// Gathers a guide's programmes as they are read, in any order, into a GuideStore, within bounds
// that hold whatever the input: past them the guide is cut (the programmes after are not kept), and
// past the room for descriptions, programmes are kept without theirs.
class GuideBuilder {
public:
    struct Limits {
        int maxProgrammes = 0;
        int maxChannels = 0;
        // Bytes of text (titles, descriptions, categories, each kept once) at most.
        qint64 maxTextBytes = 0;
        // Past this many bytes of text, descriptions are no longer kept; titles still are.
        qint64 maxDescriptionBytes = 0;
    };

    explicit GuideBuilder(Limits limits);

    // Keeps a programme; stop < 0 when the guide does not say (it ends where the next starts).
    // False when the guide is full: nothing more is kept.
    bool add(QStringView channel, qint64 start, qint64 stop, QStringView title, QStringView description,
             QStringView category);
    // The guide was cut: a programme was left out for want of room.
    bool isFull() const { return m_full; }
    int count() const { return int(m_store->m_entries.size()); }
    // Descriptions left out for want of room.
    int droppedDescriptions() const { return m_droppedDescriptions; }

    // Puts each channel's programmes in order, ends the open ones where the next starts, and drops
    // those that end at or before from. The builder is empty after.
    std::shared_ptr<const GuideStore> finish(qint64 from);

private:
    qint64 channelOf(QStringView channel);

    const Limits m_limits;
    std::shared_ptr<GuideStore> m_store;
    QHash<QString, quint32> m_channelIndex;
    QList<QString> m_channelIds;
    qint64 m_lastChannel = -1;
    bool m_full = false;
    int m_droppedDescriptions = 0;
};
