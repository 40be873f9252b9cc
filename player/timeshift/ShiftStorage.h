#pragma once

#include <QString>

// Where the kept stream lies: bytes written and read at an offset. Reads and writes may come from
// two threads at once, on parts that do not overlap.
class ShiftStorage {
public:
    virtual ~ShiftStorage() = default;

    // Writes all of size bytes or fails; on failure, why() tells it and whether the disk is full.
    virtual bool write(qint64 offset, const char *data, qint64 size) = 0;
    // Bytes read, fewer past the end; -1 on failure.
    virtual qint64 read(qint64 offset, char *data, qint64 size) const = 0;
    virtual bool truncate(qint64 size) = 0;
    virtual qint64 size() const = 0;

    struct Failure {
        bool diskFull = false;
        // In the user's language, as the system puts it.
        QString text;
    };
    // Of the last write that failed.
    virtual Failure failure() const = 0;
};
