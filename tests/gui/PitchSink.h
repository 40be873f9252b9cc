#pragma once

#include <QtGlobal>

// A sound sink for the tests, found by the player as it looks for its sound output (it ranks above
// every real one), that plays nothing and tells the pitch of the sound it is given, in time with
// the picture as a real one would.
namespace PitchSink {

// Registers the sink in this process; the player's next look for a sound output finds it.
void install();
// The pitch of the left channel over the last 40 ms, in hertz; 0 before any sound.
double pitch();
// From now on, firstPitch() is the first pitch heard by a sink made after this call (a new stream's).
void reset();
double firstPitch();

} // namespace PitchSink
