#include "shaping/ImageCanvas.h"

#include "shaping/Colour.h"
#include "shaping/EInvalidGraphicOperation.h"
#include "shaping/ShapingImage.h"

qint32 ImageCanvas::pixel(ShapingImage &image, int x, int y) {
    const QImage surface = image.canvasBitmap();
    // Only an image with another kind of graphic has no drawing surface after that call.
    if (surface.isNull() && image.hasGraphic())
        throw EInvalidGraphicOperation("Une image ne peut être modifiée que si elle contient un bitmap");
    if (!surface.valid(x, y))
        return Colour::kInvalid;
    return Colour::fromPixel(surface.pixel(x, y));
}
