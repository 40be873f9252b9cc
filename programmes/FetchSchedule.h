#pragma once

#include <QtGlobal>

// When the guide is fetched next. A guide that was read is fetched again every six hours. After a
// failure the next try comes within a minute, then at gaps that double up to an hour, so that a
// server that was down or a guide that was half written is caught soon after it is back, without
// asking a dead server every minute for days.
class FetchSchedule {
public:
    static constexpr qint64 kRefreshMs = 6LL * 3600 * 1000;
    static constexpr qint64 kFirstRetryMs = 60 * 1000;
    static constexpr qint64 kLongestRetryMs = 3600 * 1000;

    // The wait before the next fetch, once one ended with a guide or without one.
    qint64 afterSuccess();
    qint64 afterFailure();

private:
    int m_failures = 0;
};
