#include "programmes/GuideFetch.h"

#include "programmes/GuideDownload.h"

#include <QFileInfo>
#include <QUrl>

GuideLoad fetchGuide(const QString &address, qint64 from, qint64 to, const std::atomic_bool &cancelled) {
    GuideLoad load;
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        const std::unique_ptr<QFile> file = GuideDownload::fetch(url, cancelled, &load.error);
        if (!file)
            return load;
        load = readGuide(*file, from, to, &cancelled);
    } else if (scheme == QLatin1String("file")) {
        load = loadGuideFile(url.toLocalFile(), from, to, &cancelled);
    } else if (scheme.size() <= 1) {
        // No scheme (or a drive-like one letter): a path.
        load = loadGuideFile(QFileInfo(address).absoluteFilePath(), from, to, &cancelled);
    } else {
        load.error = QStringLiteral("unsupported guide address %1").arg(address);
        return load;
    }
    if (!load.data)
        load.error = QStringLiteral("cannot read the guide at %1: %2").arg(address, load.error);
    return load;
}
