#pragma once

#include "player/timeshift/ShiftStorage.h"

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cstring>

// Storage in memory that can be told to fail its writes past a size, as a full or broken disk
// would.
class MemoryStorage : public ShiftStorage {
public:
    struct Shared {
        QMutex mutex;
        QByteArray bytes;
        qint64 failPast = -1;
        Failure failure;
    };

    explicit MemoryStorage(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

    bool write(qint64 offset, const char *data, qint64 size) override {
        QMutexLocker lock(&m_shared->mutex);
        QByteArray &bytes = m_shared->bytes;
        const qint64 end =
            m_shared->failPast >= 0 ? std::min(offset + size, m_shared->failPast) : offset + size;
        if (end > bytes.size())
            bytes.resize(std::max<qint64>(end, offset));
        if (end > offset)
            std::memcpy(bytes.data() + offset, data, end - offset);
        return end == offset + size;
    }
    qint64 read(qint64 offset, char *data, qint64 size) const override {
        QMutexLocker lock(&m_shared->mutex);
        const qint64 got = std::clamp<qint64>(m_shared->bytes.size() - offset, 0, size);
        std::memcpy(data, m_shared->bytes.constData() + offset, got);
        return got;
    }
    bool truncate(qint64 size) override {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->bytes.resize(size);
        return true;
    }
    qint64 size() const override {
        QMutexLocker lock(&m_shared->mutex);
        return m_shared->bytes.size();
    }
    Failure failure() const override {
        QMutexLocker lock(&m_shared->mutex);
        return m_shared->failure;
    }

private:
    std::shared_ptr<Shared> m_shared;
};
