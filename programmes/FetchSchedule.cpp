#include "programmes/FetchSchedule.h"

#include <algorithm>

qint64 FetchSchedule::afterSuccess() {
    m_failures = 0;
    return kRefreshMs;
}

qint64 FetchSchedule::afterFailure() {
    // Past a few doublings the gap stays at its longest; the count stops before it could overflow.
    const int doublings = std::min(m_failures, 16);
    m_failures = std::min(m_failures + 1, 16);
    return std::min(kFirstRetryMs << doublings, kLongestRetryMs);
}
