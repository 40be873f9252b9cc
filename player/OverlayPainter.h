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
    // The time the banner's now and next are picked for, in seconds since the epoch.
    qint64 guideTimeSecs = 0;
    // Pause, time behind live or back to live; with the point played in the kept span when
    // shiftBar is 0 to 1.
    QString shiftText = {};
    double shiftBar = -1.0;
    // The stream's facts: a title line, then one line each.
    QStringList facts = {};
};

void paint(QPainter &painter, const QRect &area, const QRect &keepClear, const Shown &shown);

// Where each element goes over area (for the tests and for what to repaint). A banner with the
// guide's now and next is two lines taller.
QRect bannerRect(const QRect &area, bool withGuide = false);
QRect noticeRect(const QRect &area);
// Over the bottom of the picture as the banner is, or just above the banner when it is up.
QRect shiftRect(const QRect &area, bool withBar, const QRect &bannerShown = QRect());
QRect digitsRect(const QRect &area);
// Under the notice, at the left, as many lines high as given, at most the picture's width.
QRect factsRect(const QRect &area, int lines, int textWidth);

} // namespace OverlayPainter
