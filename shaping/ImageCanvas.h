#pragma once

#include <QImage>

class QObject;

// Reads an image component's picture through its properties, so this folder does not depend
// on the windows' image class: "bitmap" (null unless the picture is a bitmap), "hasGraphic",
// and the invokable "canvasBitmap" that gives an empty picture a blank bitmap first.
class ImageCanvas {
public:
    // The picture when it is a bitmap, else a null image. Changes nothing.
    static QImage bitmap(const QObject *image);
    // The colour at (x, y) of the image's drawing surface, or the invalid colour outside it.
    // Throws EInvalidGraphicOperation when the picture is a graphic other than a bitmap.
    static qint32 pixel(QObject *image, int x, int y);
};
