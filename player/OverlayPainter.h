#pragma once

#include "player/PictureOverlay.h"

#include <QRect>

class QPainter;

// Draws what the overlay shows now over the picture's area, sized to it, so a full-screen picture
// gets a banner as readable from the sofa as the window's is at the desk. Nothing is drawn over
// keepClear (the failure line); an element that would cross it is left out.
namespace OverlayPainter {

struct Shown {
    std::optional<PictureOverlay::Banner> banner;
    QString notice;
    QString typedDigits;
};

void paint(QPainter &painter, const QRect &area, const QRect &keepClear, const Shown &shown);

// Where each element goes over area (for the tests and for what to repaint).
QRect bannerRect(const QRect &area);
QRect noticeRect(const QRect &area);
QRect digitsRect(const QRect &area);

} // namespace OverlayPainter
