#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "LocalClock.h"

namespace {

// Not time(): it reads a coarse clock that can lag a few milliseconds behind.
tm LocalCalendarNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    ::localtime_r(&now.tv_sec, &parts);
    return parts;
}

bool SameSecond(const LocalTime& t, const tm& parts) {
    return t.year == parts.tm_year + 1900 && t.month == parts.tm_mon + 1 &&
           t.day == parts.tm_mday && t.hour == parts.tm_hour && t.minute == parts.tm_min &&
           t.second == parts.tm_sec;
}

}  // namespace

TEST(SystemClockTest, GivesTheLocalCalendarTimeWithMilliseconds) {
    SystemClock clock;
    // Retried in case a second boundary falls between the two readings.
    bool matched = false;
    for (int attempt = 0; attempt < 5 && !matched; ++attempt) {
        const tm before = LocalCalendarNow();
        const LocalTime t = clock.Now();
        matched = SameSecond(t, before);
        EXPECT_GE(t.millisecond, 0);
        EXPECT_LE(t.millisecond, 999);
    }
    EXPECT_TRUE(matched);
}

TEST(SystemClockTest, FollowsTheSecondsAsTheyPass) {
    // The conversion is cached per second; a stale cache would repeat the old one.
    SystemClock clock;
    const LocalTime first = clock.Now();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    LocalTime later = first;
    while (later.second == first.second && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        later = clock.Now();
    }
    EXPECT_NE(later.second, first.second);
}
