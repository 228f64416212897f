#include <gtest/gtest.h>

#include "WindowStats.h"

TEST(WindowStats, ReadoutLatenessIsTheWorstDelayBeyondThePeriod) {
    using std::chrono::milliseconds;
    WindowStats stats;
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    stats.CountReadoutTick(start, milliseconds(1000));
    EXPECT_EQ(stats.maxReadoutLateMs, 0);  // the first tick has nothing to be late for
    stats.CountReadoutTick(start + milliseconds(1500), milliseconds(1000));
    stats.CountReadoutTick(start + milliseconds(2600), milliseconds(1000));
    EXPECT_EQ(stats.readoutTicks, 3u);
    EXPECT_EQ(stats.maxReadoutLateMs, 500);
}
