#pragma once

#include "programmes/GuideProgramme.h"
#include "programmes/XmltvReader.h"

#include <QString>
#include <atomic>
#include <memory>

// A guide read from a file, plain or gzip (told by its first bytes, not by its name).
struct GuideLoad {
    std::shared_ptr<const GuideData> data;
    int programmes = 0;
    // Why there is no guide; empty when data is set.
    QString error;
};

// Reads the file, keeping the programmes between from and to (seconds since the epoch). Meant to
// run off the UI thread: it takes as long as the file is big.
GuideLoad loadGuideFile(const QString &path, qint64 from, qint64 to, const std::atomic_bool *cancelled = nullptr,
                        const XmltvReader::Limits &limits = XmltvReader::Limits());
