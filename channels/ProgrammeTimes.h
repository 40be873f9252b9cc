#pragma once

#include "programmes/GuideProgramme.h"

#include <QString>

// A programme's day and times as the viewer reads them, in French and in local time.
namespace ProgrammeTimes {

// "20:50".
QString timeOfDay(qint64 time);
// "mardi 8 décembre, 20:50 – 22:30".
QString dayAndTimes(const GuideProgramme &programme);

} // namespace ProgrammeTimes
