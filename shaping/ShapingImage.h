#pragma once

#include <QImage>

class QWidget;

// What the shaping component needs from the image its form is cut to, and how it tells images
// from other controls on the form. The windows' image class implements it.
class ShapingImage {
public:
    virtual ~ShapingImage() = default;

    // The image as a widget on the form.
    virtual QWidget *widget() = 0;
    // The picture when it is a bitmap, else a null image. Changes nothing.
    virtual QImage bitmap() const = 0;
    // Whether there is a picture at all, a bitmap or another kind of graphic.
    virtual bool hasGraphic() const = 0;
    // The drawing surface: an empty picture first gets a blank bitmap of the image's own size;
    // null when the picture is a graphic other than a bitmap.
    virtual QImage canvasBitmap() = 0;
};
