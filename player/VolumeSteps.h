#pragma once

#include <QString>

// The volume as the user steps it (wheel, + and −) and the line that says where it is.
namespace VolumeSteps {

constexpr int kStep = 5;
// Stepping goes no louder than the stream's own level; a control set louder stays so.
constexpr int kLoudest = 100;

// The volume one step up (steps > 0) or down, on the grid of kStep, within 0 and kLoudest.
int stepped(int volume, int steps);
// "Volume 55 %", or "Son coupé" while muted.
QString indicatorText(int volume, bool muted);

} // namespace VolumeSteps
