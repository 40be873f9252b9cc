#pragma once

#include "player/engine/StreamTap.h"

#include <memory>
#include <mutex>

class ReplayReader;
class ShiftStore;

// The watched channel's packets into the store, for the play under way only: a new play forgets
// what the last one kept, and packets an earlier play still delivers are dropped. Each append
// wakes the reader playing behind live, should it wait at the end.
class ShiftFeed : public std::enable_shared_from_this<ShiftFeed> {
public:
    explicit ShiftFeed(std::shared_ptr<ShiftStore> store) : m_store(std::move(store)) {}

    // Forgets what was kept; the tap returned keeps the next play's packets until the next call.
    StreamTap restart();
    // Forgets what was kept and keeps nothing more.
    void stop();
    void setReader(std::weak_ptr<ReplayReader> reader);

private:
    void keep(quint64 generation, const QByteArray &packets, qint64 arrivalNs);

    const std::shared_ptr<ShiftStore> m_store;
    std::mutex m_mutex;
    quint64 m_generation = 0;
    std::weak_ptr<ReplayReader> m_reader;
};
