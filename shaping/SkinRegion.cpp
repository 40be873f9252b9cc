#include "shaping/SkinRegion.h"

#include "shaping/Colour.h"

#include <QList>
#include <QRect>
#include <cstring>

namespace {

constexpr quint32 kColourBits = 0x00ffffff;

bool isDirect32Bit(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

// Appends the runs of non-key pixels of one row as one-row rectangles.
void appendRuns(const quint32 *row, int width, quint32 key, int top, int left, QList<QRect> &rects) {
    int x = 0;
    while (x < width) {
        while (x < width && (row[x] & kColourBits) == key)
            ++x;
        const int start = x;
        while (x < width && (row[x] & kColourBits) != key)
            ++x;
        if (x > start)
            rects.append(QRect(left + start, top, x - start, 1));
    }
}

// Whether the one-row runs from rowStart on repeat the band [bandStart, rowStart) ending just above.
bool extendsBand(const QList<QRect> &rects, qsizetype bandStart, qsizetype rowStart, int top) {
    const qsizetype count = rowStart - bandStart;
    if (count == 0 || rects.size() - rowStart != count || rects[bandStart].bottom() != top - 1)
        return false;
    for (qsizetype i = 0; i < count; ++i) {
        const QRect &above = rects[bandStart + i];
        const QRect &here = rects[rowStart + i];
        if (above.left() != here.left() || above.width() != here.width())
            return false;
    }
    return true;
}

} // namespace

QRegion SkinRegion::build(const QImage &picture, qint32 key, const QPoint &origin) {
    if (picture.isNull())
        return QRegion();
    if (quint32(key) & ~kColourBits)
        return QRegion(QRect(origin, picture.size()));

    // Other formats are read through a copy whose pixels keep their colours unpremultiplied.
    const QImage image =
        isDirect32Bit(picture.format()) ? picture : picture.convertToFormat(QImage::Format_ARGB32);
    const quint32 keyPixel =
        quint32(qRgb(Colour::red(key), Colour::green(key), Colour::blue(key))) & kColourBits;
    const int width = image.width();
    const int rowBytes = width * 4;

    // A row whose runs repeat the band just above extends that band instead of adding
    // rectangles, so plain areas of the skin give a few tall rectangles, as setRects wants.
    QList<QRect> rects;
    rects.reserve(image.height() * 2);
    qsizetype bandStart = 0;
    const uchar *previousRow = nullptr;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        const int top = origin.y() + y;
        const bool sameBytes = previousRow && std::memcmp(row, previousRow, rowBytes) == 0;
        previousRow = row;
        const qsizetype rowStart = rects.size();
        if (!sameBytes)
            appendRuns(reinterpret_cast<const quint32 *>(row), width, keyPixel, top, origin.x(), rects);
        if (sameBytes || extendsBand(rects, bandStart, rowStart, top)) {
            rects.resize(rowStart);
            for (qsizetype i = bandStart; i < rowStart; ++i)
                rects[i].setBottom(top);
        } else {
            bandStart = rowStart;
        }
    }

    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}
