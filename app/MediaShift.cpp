#include "app/MediaShift.h"

#include "player/timeshift/ShiftControl.h"

MediaShift::MediaShift(Lookup lookup, QObject *parent) : QObject(parent), m_lookup(std::move(lookup)) {
    watch();
}

void MediaShift::watch() {
    ShiftControl *control = m_lookup();
    if (control == m_control)
        return;
    if (m_control)
        m_control->disconnect(this);
    m_control = control;
    if (control)
        connect(control, &ShiftControl::changed, this, &MediaShift::changed);
    emit changed();
}

MediaControls::Shift MediaShift::state() const {
    if (!m_control)
        return {};
    const ShiftControl::Position position = m_control->position();
    return {true, position.paused, position.keptMs, position.behindMs};
}

void MediaShift::pause() {
    if (m_control)
        m_control->pause();
}

void MediaShift::resume() {
    if (m_control)
        m_control->resume();
}

void MediaShift::seekBy(qint64 deltaMs) {
    if (m_control)
        m_control->seekBy(deltaMs);
}

void MediaShift::seekTo(qint64 fromOldestMs) {
    if (m_control)
        m_control->seekTo(fromOldestMs);
}
