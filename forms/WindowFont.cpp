#include "forms/WindowFont.h"

QFont windowFont(int pixels) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixels);
    return font;
}
