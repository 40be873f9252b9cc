#pragma once

// The cost of keeping the watched channel: the store's CPU per second of an 8 Mbit/s stream (as
// a share of one core) and the resident memory before and after `seconds` of it, appended as fast
// as the disk takes it in the packets an RTP payload carries.
void printShiftCost(int seconds);
