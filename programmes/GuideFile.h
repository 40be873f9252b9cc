#pragma once

#include "programmes/GuideProgramme.h"
#include "programmes/XmltvReader.h"

#include <QString>
#include <atomic>
#include <memory>

class QIODevice;

// A guide read from a file or a device, plain or gzip (told by its first bytes, not its name).
struct GuideLoad {
    std::shared_ptr<const GuideStore> data;
    int programmes = 0;
    // Programmes left out as unreadable.
    int skipped = 0;
    // Programmes left out, and descriptions, for want of room: the guide was cut.
    int cut = 0;
    int droppedDescriptions = 0;
    // Why there is no guide; empty when data is set.
    QString error;
};

struct GuideLimits {
    // Bytes of XML at most, after inflating: a gzip bomb stops here. Guides of 2,000 channels
    // reach 450 MB; they are read as they stream, so what they cost is what is kept (see
    // XmltvReader::Limits), not their size.
    qint64 maxBytes = 1024LL * 1024 * 1024;
    // Bytes without a '<' at most: no guide's text is this long.
    qint64 maxTextRun = 1024 * 1024;
    XmltvReader::Limits reader;
};

// Reads the guide, keeping the programmes between from and to (seconds since the epoch). Meant to
// run off the UI thread: it takes as long as the guide is big.
GuideLoad readGuide(QIODevice &source, qint64 from, qint64 to, const std::atomic_bool *cancelled = nullptr,
                    const GuideLimits &limits = GuideLimits());
GuideLoad loadGuideFile(const QString &path, qint64 from, qint64 to,
                        const std::atomic_bool *cancelled = nullptr,
                        const GuideLimits &limits = GuideLimits());
