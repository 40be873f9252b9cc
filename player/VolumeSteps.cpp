#include "player/VolumeSteps.h"

#include <algorithm>

namespace VolumeSteps {

int stepped(int volume, int steps) {
    for (; steps > 0; --steps) {
        if (volume >= kLoudest)
            return volume;
        volume = std::min(kLoudest, (volume / kStep + 1) * kStep);
    }
    for (; steps < 0; ++steps)
        volume = std::max(0, (volume + kStep - 1) / kStep * kStep - kStep);
    return volume;
}

QString indicatorText(int volume, bool muted) {
    return muted ? QStringLiteral("Son coupé") : QStringLiteral("Volume %1 %").arg(volume);
}

} // namespace VolumeSteps
