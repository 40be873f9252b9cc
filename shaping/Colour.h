#pragma once

#include <QRgb>
#include <QtGlobal>

// A colour as the skin settings store it: red in the low byte, then green, then blue.
// -1 (all bits set) is the invalid colour a read outside a picture yields.
namespace Colour {

constexpr qint32 kInvalid = -1;

constexpr qint32 fromRgb(quint8 red, quint8 green, quint8 blue) {
    return qint32(quint32(red) | quint32(green) << 8 | quint32(blue) << 16);
}
constexpr quint8 red(qint32 colour) {
    return quint8(quint32(colour));
}
constexpr quint8 green(qint32 colour) {
    return quint8(quint32(colour) >> 8);
}
constexpr quint8 blue(qint32 colour) {
    return quint8(quint32(colour) >> 16);
}

// Alpha is not part of a colour: a skin pixel is only ever compared by its three components.
constexpr qint32 fromPixel(QRgb pixel) {
    return fromRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

} // namespace Colour
