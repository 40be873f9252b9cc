#include "programmes/GuideFile.h"

#include "programmes/BoundedDevice.h"
#include "programmes/GzipDevice.h"

#include <QFile>
#include <optional>

GuideLoad readGuide(QIODevice &source, qint64 from, qint64 to, const std::atomic_bool *cancelled,
                    const GuideLimits &limits) {
    std::optional<GzipDevice> inflated;
    if (GzipDevice::isGzip(source))
        inflated.emplace(source);
    BoundedDevice bounded(inflated ? static_cast<QIODevice &>(*inflated) : source, limits.maxBytes,
                          limits.maxTextRun);
    XmltvReader reader(from, to, limits.reader);
    reader.setCancelFlag(cancelled);
    GuideLoad load;
    if (!reader.read(bounded)) {
        // The device's reason first: the XML reader only sees the stream end early.
        load.error = inflated && inflated->hasFailed() ? inflated->errorString()
                     : bounded.hasFailed()             ? bounded.errorString()
                                                       : reader.error();
        return load;
    }
    load.programmes = reader.programmeCount();
    load.skipped = reader.skippedCount();
    load.cut = reader.cutCount();
    load.droppedDescriptions = reader.droppedDescriptionCount();
    load.data = reader.takeGuide();
    return load;
}

GuideLoad loadGuideFile(const QString &path, qint64 from, qint64 to, const std::atomic_bool *cancelled,
                        const GuideLimits &limits) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        GuideLoad load;
        load.error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return load;
    }
    return readGuide(file, from, to, cancelled, limits);
}
