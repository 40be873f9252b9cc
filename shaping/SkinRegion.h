#pragma once

#include <QImage>
#include <QPoint>
#include <QRegion>

// The window shape a skin gives: every pixel of the picture whose colour is not the key,
// placed at the picture's position in the window. Pure computation, no window involved.
class SkinRegion {
public:
    // A key with bits above the blue byte (the invalid colour among them) matches no pixel.
    static QRegion build(const QImage &picture, qint32 key, const QPoint &origin = QPoint());
};
