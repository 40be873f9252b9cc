#include "player/warm/Boxes.h"

#include <QUrl>
#include <algorithm>

namespace {

int defaultPort(const QString &scheme) {
    if (scheme == QLatin1String("rtsp") || scheme == QLatin1String("rtspt") ||
        scheme == QLatin1String("rtspu"))
        return 554;
    if (scheme == QLatin1String("rtsps"))
        return 322;
    if (scheme == QLatin1String("http"))
        return 80;
    if (scheme == QLatin1String("https"))
        return 443;
    return -1;
}

} // namespace

QString Boxes::keyOf(const QString &address) {
    const QUrl url(address.trimmed());
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return QString();
    const int port = url.port(defaultPort(url.scheme().toLower()));
    return port < 0 ? host : host + QLatin1Char(':') + QString::number(port);
}

QStringList Boxes::besides(const QStringList &addresses, const QString &address) {
    const QString box = keyOf(address);
    QStringList others;
    bool any = false;
    for (const QString &other : addresses) {
        const bool kept = !other.isEmpty() && keyOf(other) != box;
        others.append(kept ? other : QString());
        any = any || kept;
    }
    return any ? others : QStringList();
}

bool Boxes::anyLent() const {
    return std::any_of(m_boxes.cbegin(), m_boxes.cend(), [](const Box &box) { return box.isLent(); });
}
