#include "programmes/GuideBuilder.h"

#include <algorithm>

GuideBuilder::GuideBuilder(Limits limits) : m_limits(limits), m_store(std::make_shared<GuideStore>()) {}

qint64 GuideBuilder::channelOf(QStringView channel) {
    // Guides list a channel's programmes one after the other: most are of the channel before.
    if (m_lastChannel >= 0 && channel == m_channelIds[m_lastChannel])
        return m_lastChannel;
    const QString id = channel.toString();
    const auto known = m_channelIndex.constFind(id);
    if (known != m_channelIndex.cend())
        return m_lastChannel = *known;
    if (m_channelIds.size() >= m_limits.maxChannels)
        return -1;
    m_channelIds.append(id);
    m_channelIndex.insert(id, quint32(m_channelIds.size() - 1));
    return m_lastChannel = m_channelIds.size() - 1;
}

bool GuideBuilder::add(QStringView channel, qint64 start, qint64 stop, QStringView title,
                       QStringView description, QStringView category) {
    if (m_full || count() >= m_limits.maxProgrammes) {
        m_full = true;
        return false;
    }
    const qint64 channelIndex = channelOf(channel);
    TextPool &texts = m_store->m_texts;
    const qint64 titleRef = channelIndex < 0 ? -1 : texts.add(title, m_limits.maxTextBytes);
    const qint64 categoryRef = titleRef < 0 ? -1 : texts.add(category, m_limits.maxTextBytes);
    if (categoryRef < 0) {
        m_full = true;
        return false;
    }
    qint64 descriptionRef = texts.add(description, m_limits.maxDescriptionBytes);
    if (descriptionRef < 0) {
        descriptionRef = 0;
        ++m_droppedDescriptions;
    }
    m_store->m_entries.push_back(GuideStore::Entry{start, stop, quint32(channelIndex), quint32(titleRef),
                                                   quint32(descriptionRef), quint32(categoryRef)});
    return true;
}

std::shared_ptr<const GuideStore> GuideBuilder::finish(qint64 from) {
    std::vector<GuideStore::Entry> &entries = m_store->m_entries;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const GuideStore::Entry &a, const GuideStore::Entry &b) {
                         return a.channel != b.channel ? a.channel < b.channel : a.start < b.start;
                     });
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].stop < 0) {
            const bool nextOfSame = i + 1 < entries.size() && entries[i + 1].channel == entries[i].channel;
            entries[i].stop = nextOfSame ? entries[i + 1].start : entries[i].start;
        }
    }
    std::erase_if(entries,
                  [from](const GuideStore::Entry &e) { return e.stop <= from || e.stop <= e.start; });
    entries.shrink_to_fit();
    for (size_t i = 0; i < entries.size();) {
        size_t end = i;
        while (end < entries.size() && entries[end].channel == entries[i].channel)
            ++end;
        m_store->m_channels.insert(m_channelIds[entries[i].channel], {quint32(i), quint32(end - i)});
        i = end;
    }
    m_store->m_channels.squeeze();
    m_store->m_texts.stopAdding();
    m_channelIndex = {};
    m_channelIds = {};
    m_lastChannel = -1;
    std::shared_ptr<const GuideStore> store = std::move(m_store);
    m_store = std::make_shared<GuideStore>();
    return store;
}
