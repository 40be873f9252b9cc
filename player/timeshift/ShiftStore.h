#pragma once

#include "player/ring/TsScan.h"
#include "player/timeshift/ShiftIndex.h"
#include "player/timeshift/ShiftStorage.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The last stretch of the watched channel as it arrived, MPEG-TS packets in a ring on disk, with
// the places a player may start from. It grows until it holds maxSpanNs or maxBytes, or the disk
// would keep less than minFreeBytes free, or a write fails; from then on it wraps at the size it
// has, overwriting its oldest part.
//
// Offsets are logical: they count every byte ever kept and only grow, so a reader holding one
// learns (from read() giving -1) that what it pointed at was overwritten. One thread appends while
// others read: the writes to disk run outside the lock readers take.
class ShiftStore {
public:
    struct Limits {
        qint64 maxSpanNs = 3600'000'000'000;
        qint64 maxBytes = 4LL << 30;
        qint64 minFreeBytes = 1LL << 30;
    };
    struct Point {
        qint64 offset = -1;
        qint64 arrivalNs = -1;
    };

    // Anonymous storage in folder; null, and why in French, when it cannot be made.
    static std::unique_ptr<ShiftStore> open(const QString &folder, const Limits &limits, QString *why);

    // freeBytes gives the free bytes of the storage's disk, -1 when unknown.
    ShiftStore(std::unique_ptr<ShiftStorage> storage, const Limits &limits,
               std::function<qint64()> freeBytes);
    ~ShiftStore();
    ShiftStore(const ShiftStore &) = delete;
    ShiftStore &operator=(const ShiftStore &) = delete;

    // Whole packets received at arrivalNs (which rises from one call to the next); a packet out of
    // sync is skipped.
    void append(const QByteArray &packets, qint64 arrivalNs);
    // Forgets everything (another channel) and gives the disk space back.
    void clear();

    // The arrival of the oldest start point kept, of the newest packet; -1 when none.
    qint64 oldestNs() const;
    qint64 newestNs() const;
    bool hasStartPoint() const;
    // The newest start point that arrived at or before arrivalNs, else the oldest kept.
    std::optional<Point> startAtOrBefore(qint64 arrivalNs) const;
    // Whole packets from offset, at most max bytes; 0 at the end of what is kept, -1 when offset
    // is no longer kept.
    qint64 read(qint64 offset, char *data, qint64 max) const;
    qint64 beginOffset() const;
    qint64 endOffset() const;
    // The arrival of the start point at or before offset (of the oldest when offset lies before
    // it); -1 when offset is not kept or no start point is.
    qint64 arrivalAt(qint64 offset) const;
    // The PAT then the PMT last seen: what a decoder needs before a start point.
    QByteArray tables() const;
    // The programme has pictures (its start points are key frames, not sound frames).
    bool hasPictures() const;
    // Why keeping stopped, in French; empty while all is well.
    QString fault() const;
    // The size the ring wraps at; 0 while it still grows.
    qint64 capacity() const;
    qsizetype startPoints() const;
    // Called after each append that kept something, on the appending thread, outside the lock
    // readers take (to wake a reader waiting for data). It must not append.
    void setAppended(std::function<void()> appended);

private:
    struct Start {
        qint64 at;
        bool newLayout;
    };
    struct Segment {
        qint64 physical = 0;
        const char *data = nullptr;
        qint64 size = 0;
    };

    const char *inSyncPackets(const QByteArray &packets, qint64 *size);
    void findStarts(const char *data, qint64 size);
    bool keep(const char *data, qint64 size);
    bool makeRoom(qint64 size);
    bool mayGrowBy(qint64 size);
    void wrapAt(qint64 physical);
    void indexStarts(qint64 from, qint64 arrivalNs);
    void stopKeeping(const QString &why);
    qint64 physicalOf(qint64 offset) const;

    std::unique_ptr<ShiftStorage> m_storage;
    const Limits m_limits;
    std::function<qint64()> m_freeBytes;

    // Held through one append or clear, disk writes included.
    QMutex m_writing;
    std::function<void()> m_appended;
    QByteArray m_scratch;
    std::vector<Start> m_starts;

    // Held briefly by everything else; guards what follows.
    mutable QMutex m_mutex;
    TsScan m_scan;
    ShiftIndex m_index;
    // The logical offset at physical 0 of the ring's current turn.
    qint64 m_origin = 0;
    qint64 m_begin = 0;
    qint64 m_end = 0;
    qint64 m_capacity = 0;
    // The size the storage may grow to before free space is asked again.
    qint64 m_nextCheck = 0;
    qint64 m_newestNs = -1;
    QString m_fault;
};
