#include "shaping/ImageCanvas.h"

#include "shaping/Colour.h"
#include "shaping/EInvalidGraphicOperation.h"

#include <QMetaObject>
#include <QObject>
#include <QVariant>

QImage ImageCanvas::bitmap(const QObject *image) {
    return image->property("bitmap").value<QImage>();
}

qint32 ImageCanvas::pixel(QObject *image, int x, int y) {
    QImage surface;
    QMetaObject::invokeMethod(image, "canvasBitmap", Qt::DirectConnection, Q_RETURN_ARG(QImage, surface));
    // Only an image with another kind of graphic has no drawing surface after that call.
    if (surface.isNull() && image->property("hasGraphic").toBool())
        throw EInvalidGraphicOperation("Une image ne peut être modifiée que si elle contient un bitmap");
    if (!surface.valid(x, y))
        return Colour::kInvalid;
    return Colour::fromPixel(surface.pixel(x, y));
}
