#include "programmes/GuideFile.h"

#include "programmes/GzipDevice.h"

#include <QFile>

GuideLoad loadGuideFile(const QString &path, qint64 from, qint64 to, const std::atomic_bool *cancelled,
                        const XmltvReader::Limits &limits) {
    GuideLoad load;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        load.error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return load;
    }
    XmltvReader reader(from, to, limits);
    reader.setCancelFlag(cancelled);
    bool ok = false;
    if (GzipDevice::isGzip(file)) {
        GzipDevice inflated(file);
        ok = reader.read(inflated);
        if (!ok && inflated.hasFailed())
            load.error = inflated.errorString();
    } else {
        ok = reader.read(file);
    }
    if (!ok) {
        if (load.error.isEmpty())
            load.error = reader.error();
        return load;
    }
    load.programmes = reader.programmeCount();
    load.data = std::make_shared<const GuideData>(reader.takeData());
    return load;
}
