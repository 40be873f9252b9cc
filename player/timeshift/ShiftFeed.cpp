#include "player/timeshift/ShiftFeed.h"

#include "player/timeshift/ReplayReader.h"
#include "player/timeshift/ShiftStore.h"

StreamTap ShiftFeed::restart() {
    std::lock_guard lock(m_mutex);
    const quint64 generation = ++m_generation;
    m_store->clear();
    return [feed = shared_from_this(), generation](const QByteArray &packets, qint64 arrivalNs) {
        feed->keep(generation, packets, arrivalNs);
    };
}

void ShiftFeed::stop() {
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_store->clear();
}

void ShiftFeed::setReader(std::weak_ptr<ReplayReader> reader) {
    std::lock_guard lock(m_mutex);
    m_reader = std::move(reader);
}

void ShiftFeed::keep(quint64 generation, const QByteArray &packets, qint64 arrivalNs) {
    std::shared_ptr<ReplayReader> reader;
    {
        // The check and the append under one lock: a restart never lets a stale packet in.
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
            return;
        m_store->append(packets, arrivalNs);
        reader = m_reader.lock();
    }
    if (reader)
        reader->appended();
}
