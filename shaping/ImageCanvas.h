#pragma once

#include <QtGlobal>

class ShapingImage;

// Reading the linked image's drawing surface as the component's key colours are read.
class ImageCanvas {
public:
    // The colour at (x, y) of the image's drawing surface, or the invalid colour outside it.
    // Throws EInvalidGraphicOperation when the picture is a graphic other than a bitmap.
    static qint32 pixel(ShapingImage &image, int x, int y);
};
