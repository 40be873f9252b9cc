#pragma once

#include "programmes/GuideProgramme.h"
#include "programmes/TextPool.h"

#include <QHash>
#include <QString>
#include <vector>

// The guide as kept once read: every programme in one array, each channel's in order of start
// next to each other, and their texts in one pool of UTF-8 (see TextPool). A GuideProgramme is
// made only when asked for, so that a guide of half a million programmes costs some 30 bytes each
// plus its texts. Read-only once built (see GuideBuilder): safe to share between threads.
class GuideStore {
public:
    struct Entry {
        qint64 start = 0;
        qint64 stop = 0;
        quint32 channel = 0;
        quint32 title = 0;
        quint32 description = 0;
        quint32 category = 0;
    };

    qsizetype channelCount() const { return m_channels.size(); }
    qsizetype programmeCount() const { return qsizetype(m_entries.size()); }
    QStringList channelIds() const { return m_channels.keys(); }
    bool hasChannel(const QString &channelId) const { return m_channels.contains(channelId); }
    // The channel's programmes in order of start; empty when the guide does not know it.
    ChannelProgrammes programmes(const QString &channelId) const;
    // Those of them that end after from and start before to.
    ChannelProgrammes programmes(const QString &channelId, qint64 from, qint64 to) const;
    // Every channel's programmes, made at once: for a small guide only.
    GuideData toData() const;
    // Bytes the guide holds, near enough.
    qint64 memoryBytes() const;

private:
    friend class GuideBuilder;

    struct Range {
        quint32 first = 0;
        quint32 count = 0;
    };

    GuideProgramme programme(const Entry &entry) const;
    ChannelProgrammes programmes(const Entry *begin, const Entry *end) const;

    std::vector<Entry> m_entries;
    QHash<QString, Range> m_channels;
    TextPool m_texts;
};
