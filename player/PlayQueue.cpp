#include "player/PlayQueue.h"

void PlayQueue::insert(const PlayTarget &target, int mode, int position) {
    Q_UNUSED(mode);
    Q_UNUSED(position);
    m_newest = target;
}
