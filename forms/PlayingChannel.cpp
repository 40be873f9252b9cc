#include "forms/PlayingChannel.h"

void PlayingChannel::choose(int row, const QString &rowText) {
    m_row = row;
    m_rowText = rowText;
    // Told even when the same row is chosen again: its title goes to the desktop anew.
    emit changed();
}
