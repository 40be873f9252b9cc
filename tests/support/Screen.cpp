#include "support/Screen.h"

#include "settopbox/ChannelColors.h"
#include "support/ChildProcess.h"

#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>

QImage screenshotRoot() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("root.png"));
    bool ok = false;
    childprocess::runToEnd({"import", "-window", "root", path}, 15000, &ok);
    return ok ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage grabWidget(QWidget *widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb averageColour(const QImage &image, const QRect &area) {
    const QRect r = area.intersected(image.rect());
    if (r.isEmpty())
        return 0;
    qint64 red = 0, green = 0, blue = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            red += qRed(p);
            green += qGreen(p);
            blue += qBlue(p);
        }
    }
    const qint64 n = qint64(r.width()) * r.height();
    return qRgb(int(red / n), int(green / n), int(blue / n));
}

bool colourNear(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QRgb channelRgb(int channel) {
    const auto c = halcyon::settopbox::channelColour(channel);
    return qRgb(c.r, c.g, c.b);
}

namespace {

int distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

} // namespace

int channelOfColour(QRgb colour, const QList<int> &candidates, int tolerance) {
    int best = 0;
    for (int channel : candidates) {
        if (!colourNear(colour, channelRgb(channel), tolerance))
            continue;
        if (best == 0 || distance(colour, channelRgb(channel)) < distance(colour, channelRgb(best)))
            best = channel;
    }
    return best;
}

bool looksLikeChannel(QRgb colour, int channel, int tolerance) {
    if (!colourNear(colour, channelRgb(channel), tolerance))
        return false;
    for (const auto &c : halcyon::settopbox::kChannelColours) {
        if (distance(colour, qRgb(c.r, c.g, c.b)) < distance(colour, channelRgb(channel)))
            return false;
    }
    return true;
}

void keepShot(const QImage &image, const char *name) {
    const QString folder = qEnvironmentVariable("HALCYON_TEST_SHOTS");
    if (!folder.isEmpty())
        image.save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}
