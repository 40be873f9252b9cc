#pragma once

#include <QImage>
#include <QList>
#include <QRect>

class QWidget;

// What a person would see: the whole X screen, or what one widget painted.
QImage screenshotRoot();
QImage grabWidget(QWidget *widget);

QRgb averageColour(const QImage &image, const QRect &area);
// Every component within tolerance.
bool colourNear(QRgb a, QRgb b, int tolerance);

// True when the colour is the background of that channel's picture (after encoding and scaling),
// and no other channel's colour is nearer.
bool looksLikeChannel(QRgb colour, int channel, int tolerance = 40);
// The channel among candidates whose picture has this background, or 0 when none has.
int channelOfColour(QRgb colour, const QList<int> &candidates, int tolerance = 40);
QRgb channelRgb(int channel);

// Keeps the picture as NAME.png in the folder HALCYON_TEST_SHOTS names, for a person to look at;
// does nothing when it is not set.
void keepShot(const QImage &image, const char *name);
