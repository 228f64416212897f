#include "LocalClock.h"

#include <time.h>

LocalTime SystemClock::Now() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);

    // The conversion costs more than the rest of a row. A zone's offset only
    // changes on a whole second, so one conversion serves every row in that
    // second; per thread, because the writer thread asks too.
    thread_local time_t cachedSecond = -1;
    thread_local tm parts{};
    if (ts.tv_sec != cachedSecond) {
        ::localtime_r(&ts.tv_sec, &parts);
        cachedSecond = ts.tv_sec;
    }

    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    t.utcOffsetMinutes = static_cast<int>(parts.tm_gmtoff / 60);
    return t;
}
