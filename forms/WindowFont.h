#pragma once

#include <QFont>

// The font every window is described with, at a height in pixels.
QFont windowFont(int pixels = 11);
