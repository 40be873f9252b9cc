#pragma once

#include "programmes/GuideProgramme.h"

#include <optional>

// Which of a channel's programmes is on at a given time and which comes after it.
struct NowNext {
    std::optional<GuideProgramme> now;
    std::optional<GuideProgramme> next;
    // How far the programme now has got, 0 to 1; 0 without one.
    double elapsed = 0;
};

// now: the programme that has started and not ended at `at` (of overlapping ones, the one that
// started last); next: the first to start once it ends, or after `at` when nothing is on.
NowNext nowAndNext(const ChannelProgrammes &programmes, qint64 at);

// The first time after `at` when nowAndNext's answer changes programmes; -1 when it never will.
qint64 nextChangeAfter(const ChannelProgrammes &programmes, qint64 at);

// "10:30–11:00" in the desktop's time zone.
QString programmeTimes(const GuideProgramme &programme);
// "10:30–11:00  Title", as the banner and the overlay's texts show a programme.
QString programmeLine(const GuideProgramme &programme);
