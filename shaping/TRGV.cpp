#include "shaping/TRGV.h"

void TRGV::setR(quint8 value) {
    m_r = value;
    changed();
}

void TRGV::setG(quint8 value) {
    m_g = value;
    changed();
}

void TRGV::setB(quint8 value) {
    m_b = value;
    changed();
}

void TRGV::changed() {
    if (m_onChange)
        m_onChange(this);
}
