#include "shaping/TCoord.h"

void TCoord::setX(qint32 value) {
    m_x = value;
    changed();
}

void TCoord::setY(qint32 value) {
    m_y = value;
    changed();
}

void TCoord::changed() {
    if (m_onChange)
        m_onChange(this);
}
