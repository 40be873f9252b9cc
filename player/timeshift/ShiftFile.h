#pragma once

#include "player/timeshift/ShiftStorage.h"

#include <memory>

// A file that has no name from the start (or loses it at once where the file system refuses
// nameless files): nothing of it remains once the process ends, however it ends.
class ShiftFile : public ShiftStorage {
public:
    // Null, and why in the user's language, when no file can be made in folder.
    static std::unique_ptr<ShiftFile> open(const QString &folder, QString *why);
    ~ShiftFile() override;
    ShiftFile(const ShiftFile &) = delete;
    ShiftFile &operator=(const ShiftFile &) = delete;

    bool write(qint64 offset, const char *data, qint64 size) override;
    qint64 read(qint64 offset, char *data, qint64 size) const override;
    bool truncate(qint64 size) override;
    qint64 size() const override;
    Failure failure() const override;

    // Free bytes on the file's disk for an unprivileged user; -1 when unknown.
    qint64 freeBytes() const;

private:
    explicit ShiftFile(int fd) : m_fd(fd) {}

    int m_fd = -1;
    int m_lastError = 0;
};
