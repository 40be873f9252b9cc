#include "player/timeshift/ShiftStore.h"

#include "player/timeshift/ShiftFile.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kPacketSize = TsScan::kPacketSize;
// Free space is asked again after this much growth: often enough to stop well before the disk
// runs short, rarely enough to cost nothing.
constexpr qint64 kFreeSpaceStep = 16LL << 20;
// Jumps move by seconds: a start point every tenth of a second is plenty, and bounds the index of
// a stream made of key frames only. Sound frames come every 20-30 ms: a quarter of a second.
constexpr qint64 kKeyFrameSpacingNs = 100'000'000;
constexpr qint64 kSoundSpacingNs = 250'000'000;

const char kDiskFull[] = "espace disque insuffisant";
const char kFolderUnusable[] = "dossier de cache inaccessible";

} // namespace

std::unique_ptr<ShiftStore> ShiftStore::open(const QString &folder, const Limits &limits, QString *why) {
    QString reason;
    std::unique_ptr<ShiftFile> file = ShiftFile::open(folder, &reason);
    if (!file) {
        if (why)
            *why = reason.isEmpty() ? QString::fromUtf8(kFolderUnusable) : reason;
        return nullptr;
    }
    const qint64 free = file->freeBytes();
    if (free >= 0 && free < limits.minFreeBytes) {
        if (why)
            *why = QString::fromUtf8(kDiskFull);
        return nullptr;
    }
    ShiftFile *disk = file.get();
    return std::make_unique<ShiftStore>(std::move(file), limits, [disk] { return disk->freeBytes(); });
}

ShiftStore::ShiftStore(std::unique_ptr<ShiftStorage> storage, const Limits &limits,
                       std::function<qint64()> freeBytes)
    : m_storage(std::move(storage)), m_limits(limits), m_freeBytes(std::move(freeBytes)) {}

ShiftStore::~ShiftStore() = default;

void ShiftStore::append(const QByteArray &packets, qint64 arrivalNs) {
    QMutexLocker writing(&m_writing);
    qint64 size = 0;
    const char *data = inSyncPackets(packets, &size);
    if (size == 0)
        return;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_fault.isEmpty())
            return;
        findStarts(data, size);
    }
    if (!keep(data, size))
        return;
    {
        QMutexLocker lock(&m_mutex);
        const qint64 from = m_end;
        m_end += size;
        m_newestNs = arrivalNs;
        indexStarts(from, arrivalNs);
        if (m_index.dropOlderThan(m_newestNs, m_limits.maxSpanNs)) {
            if (!m_index.isEmpty())
                m_begin = std::max(m_begin, m_index.oldest().offset);
            // What the storage holds is the whole span: from now on it turns at that size.
            if (m_capacity == 0)
                wrapAt(m_end - m_origin);
        }
    }
    if (m_appended)
        m_appended();
}

void ShiftStore::clear() {
    QMutexLocker writing(&m_writing);
    {
        QMutexLocker lock(&m_mutex);
        m_scan.reset();
        m_index.clear();
        m_origin = m_begin = m_end;
        m_capacity = 0;
        m_nextCheck = 0;
        m_newestNs = -1;
        m_fault.clear();
    }
    // A reader still at an old offset finds it no longer kept, whatever its read of the storage
    // gave.
    m_storage->truncate(0);
}

// The packets that start with the sync byte, copied together only when some do not.
const char *ShiftStore::inSyncPackets(const QByteArray &packets, qint64 *size) {
    const qint64 count = packets.size() / kPacketSize;
    const char *bytes = packets.constData();
    qint64 firstOut = 0;
    while (firstOut < count &&
           TsScan::inSync(reinterpret_cast<const uchar *>(bytes + firstOut * kPacketSize)))
        ++firstOut;
    if (firstOut == count) {
        *size = count * kPacketSize;
        return bytes;
    }
    m_scratch.resize(count * kPacketSize);
    char *out = m_scratch.data();
    std::memcpy(out, bytes, firstOut * kPacketSize);
    qint64 kept = firstOut * kPacketSize;
    for (qint64 i = firstOut + 1; i < count; ++i) {
        const char *packet = bytes + i * kPacketSize;
        if (!TsScan::inSync(reinterpret_cast<const uchar *>(packet)))
            continue;
        std::memcpy(out + kept, packet, kPacketSize);
        kept += kPacketSize;
    }
    *size = kept;
    return out;
}

// Where, in the packets about to be kept, a player could start, and where the programme changed.
void ShiftStore::findStarts(const char *data, qint64 size) {
    m_starts.clear();
    for (qint64 at = 0; at < size; at += kPacketSize) {
        const TsScan::Unit unit = m_scan.scan(reinterpret_cast<const uchar *>(data + at));
        const bool pictures = m_scan.videoPid() >= 0;
        if (unit == TsScan::Unit::NewLayout)
            m_starts.push_back({at, true});
        else if ((unit == TsScan::Unit::KeyFrame && pictures) || (unit == TsScan::Unit::Sound && !pictures))
            m_starts.push_back({at, false});
    }
}

void ShiftStore::indexStarts(qint64 from, qint64 arrivalNs) {
    const qint64 spacing = m_scan.videoPid() >= 0 ? kKeyFrameSpacingNs : kSoundSpacingNs;
    for (const Start &start : m_starts) {
        const qint64 at = from + start.at;
        if (at < m_begin)
            continue;
        if (start.newLayout) {
            // The tables given before a start point are the newest: what came before them may
            // name other streams.
            m_index.clear();
            m_begin = at;
        } else {
            m_index.add(at, arrivalNs, spacing);
        }
    }
}

// Writes the packets at the end of what is kept, turning the ring where needed; false when
// nothing can be kept any more.
bool ShiftStore::keep(const char *data, qint64 size) {
    for (;;) {
        Segment segments[2];
        {
            QMutexLocker lock(&m_mutex);
            if (!makeRoom(size))
                return false;
            // More than the whole ring at once: only its end is kept.
            const qint64 skip = m_capacity > 0 ? std::max<qint64>(0, size - m_capacity) : 0;
            const qint64 length = size - skip;
            const qint64 start = physicalOf(m_end + skip);
            const qint64 first = m_capacity > 0 ? std::min(length, m_capacity - start) : length;
            segments[0] = {start, data + skip, first};
            segments[1] = {0, data + skip + first, length - first};
            // Readers stop trusting what is about to be overwritten before it is.
            if (m_capacity > 0) {
                m_begin = std::max(m_begin, m_end + size - m_capacity);
                m_index.dropBefore(m_begin);
            }
        }
        const Segment *failed = nullptr;
        for (const Segment &segment : segments) {
            if (segment.size > 0 && !m_storage->write(segment.physical, segment.data, segment.size)) {
                failed = &segment;
                break;
            }
        }
        if (!failed)
            return true;
        QMutexLocker lock(&m_mutex);
        const ShiftStorage::Failure failure = m_storage->failure();
        if (failed->physical == 0) {
            stopKeeping(failure.diskFull || failure.text.isEmpty() ? QString::fromUtf8(kDiskFull)
                                                                   : failure.text);
            return false;
        }
        // The ring keeps what was written before the failure and turns there.
        wrapAt(failed->physical);
        m_storage->truncate(m_capacity);
    }
}

// Before growing the storage by size: turns the ring where it may not grow.
bool ShiftStore::makeRoom(qint64 size) {
    if (m_capacity > 0)
        return true;
    const qint64 grown = m_end - m_origin;
    if (grown + size <= m_limits.maxBytes && mayGrowBy(size))
        return true;
    if (grown == 0) {
        stopKeeping(QString::fromUtf8(kDiskFull));
        return false;
    }
    wrapAt(grown);
    return true;
}

bool ShiftStore::mayGrowBy(qint64 size) {
    const qint64 grown = m_end - m_origin;
    const qint64 needed = grown + size;
    if (needed <= m_nextCheck)
        return true;
    const qint64 free = m_freeBytes ? m_freeBytes() : -1;
    const qint64 allowed = free < 0 ? m_limits.maxBytes : grown + free - m_limits.minFreeBytes;
    if (needed > allowed)
        return false;
    m_nextCheck = std::max(needed, std::min(grown + kFreeSpaceStep, allowed));
    return true;
}

void ShiftStore::wrapAt(qint64 physical) {
    m_capacity = physical;
    m_origin = m_end - physical;
    m_begin = std::max(m_begin, m_origin);
    m_index.dropBefore(m_begin);
}

void ShiftStore::stopKeeping(const QString &why) {
    m_fault = why;
    m_index.clear();
    m_begin = m_end;
    m_storage->truncate(0);
}

qint64 ShiftStore::physicalOf(qint64 offset) const {
    return m_capacity > 0 ? (offset - m_origin) % m_capacity : offset - m_origin;
}

qint64 ShiftStore::read(qint64 offset, char *data, qint64 max) const {
    Segment segments[2];
    qint64 length = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (offset < m_begin)
            return -1;
        length = std::min(m_end - offset, max) / kPacketSize * kPacketSize;
        if (length <= 0)
            return 0;
        const qint64 start = physicalOf(offset);
        const qint64 first = m_capacity > 0 ? std::min(length, m_capacity - start) : length;
        segments[0] = {start, data, first};
        segments[1] = {0, data + first, length - first};
    }
    qint64 got = 0;
    for (const Segment &segment : segments) {
        if (segment.size == 0)
            break;
        const qint64 read = m_storage->read(segment.physical, const_cast<char *>(segment.data), segment.size);
        if (read < 0)
            return -1;
        got += read;
        if (read < segment.size)
            break;
    }
    // An append may have overwritten the stretch while it was read.
    QMutexLocker lock(&m_mutex);
    if (offset < m_begin)
        return -1;
    return got / kPacketSize * kPacketSize;
}

qint64 ShiftStore::oldestNs() const {
    QMutexLocker lock(&m_mutex);
    return m_index.isEmpty() ? -1 : m_index.oldest().arrivalNs;
}

qint64 ShiftStore::newestNs() const {
    QMutexLocker lock(&m_mutex);
    return m_newestNs;
}

bool ShiftStore::hasStartPoint() const {
    QMutexLocker lock(&m_mutex);
    return !m_index.isEmpty();
}

std::optional<ShiftStore::Point> ShiftStore::startAtOrBefore(qint64 arrivalNs) const {
    QMutexLocker lock(&m_mutex);
    const std::optional<ShiftIndex::Entry> entry = m_index.atOrBeforeTime(arrivalNs);
    if (!entry)
        return std::nullopt;
    return Point{entry->offset, entry->arrivalNs};
}

qint64 ShiftStore::beginOffset() const {
    QMutexLocker lock(&m_mutex);
    return m_begin;
}

qint64 ShiftStore::endOffset() const {
    QMutexLocker lock(&m_mutex);
    return m_end;
}

qint64 ShiftStore::arrivalAt(qint64 offset) const {
    QMutexLocker lock(&m_mutex);
    if (offset < m_begin || offset > m_end)
        return -1;
    const std::optional<ShiftIndex::Entry> entry = m_index.atOrBeforeOffset(offset);
    return entry ? entry->arrivalNs : -1;
}

bool ShiftStore::hasPictures() const {
    QMutexLocker lock(&m_mutex);
    return m_scan.videoPid() >= 0;
}

QByteArray ShiftStore::tables() const {
    QMutexLocker lock(&m_mutex);
    return m_scan.pat() + m_scan.pmt();
}

QString ShiftStore::fault() const {
    QMutexLocker lock(&m_mutex);
    return m_fault;
}

qint64 ShiftStore::capacity() const {
    QMutexLocker lock(&m_mutex);
    return m_capacity;
}

qsizetype ShiftStore::startPoints() const {
    QMutexLocker lock(&m_mutex);
    return m_index.size();
}

void ShiftStore::setAppended(std::function<void()> appended) {
    QMutexLocker writing(&m_writing);
    m_appended = std::move(appended);
}
