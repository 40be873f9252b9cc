#include "programmes/GuideStore.h"

#include <algorithm>

GuideProgramme GuideStore::programme(const Entry &entry) const {
    return GuideProgramme{entry.start, entry.stop, m_texts.text(entry.title), m_texts.text(entry.description),
                          m_texts.text(entry.category)};
}

ChannelProgrammes GuideStore::programmes(const Entry *begin, const Entry *end) const {
    ChannelProgrammes result;
    result.reserve(end - begin);
    for (const Entry *entry = begin; entry != end; ++entry)
        result.append(programme(*entry));
    return result;
}

ChannelProgrammes GuideStore::programmes(const QString &channelId) const {
    const auto range = m_channels.constFind(channelId);
    if (range == m_channels.cend())
        return {};
    const Entry *first = m_entries.data() + range->first;
    return programmes(first, first + range->count);
}

ChannelProgrammes GuideStore::programmes(const QString &channelId, qint64 from, qint64 to) const {
    const auto range = m_channels.constFind(channelId);
    if (range == m_channels.cend())
        return {};
    const Entry *first = m_entries.data() + range->first;
    const Entry *last = first + range->count;
    // Programmes of a channel may overlap, so a long one that started early can still be on: the
    // search starts a day before from.
    const Entry *begin =
        std::lower_bound(first, last, from - 24 * 3600, [](const Entry &e, qint64 t) { return e.start < t; });
    const Entry *end =
        std::lower_bound(begin, last, to, [](const Entry &e, qint64 t) { return e.start < t; });
    ChannelProgrammes result;
    for (const Entry *entry = begin; entry != end; ++entry) {
        if (entry->stop > from)
            result.append(programme(*entry));
    }
    return result;
}

GuideData GuideStore::toData() const {
    GuideData data;
    for (auto it = m_channels.cbegin(); it != m_channels.cend(); ++it)
        data.insert(it.key(), programmes(it.key()));
    return data;
}

qint64 GuideStore::memoryBytes() const {
    qint64 channels = 0;
    for (auto it = m_channels.cbegin(); it != m_channels.cend(); ++it)
        channels += it.key().capacity() * 2 + qint64(sizeof(Range)) + 32;
    return qint64(m_entries.capacity() * sizeof(Entry)) + m_texts.bytes() + channels;
}
