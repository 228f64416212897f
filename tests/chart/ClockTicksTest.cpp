#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ClockTicks.h"

namespace {

constexpr int64_t kS = 1000, kMin = 60 * kS, kH = 60 * kMin, kDay = 24 * kH;

LocalOffsetFn Fixed(int64_t offset) {
    return [offset](int64_t) { return offset; };
}

TEST(ClockTicksTest, StepIsTheSmallestNiceStepWithRoomBetweenTicks) {
    EXPECT_EQ(ClockTickStepFor(60 * kS, 600, 30), 5 * kS);      // 3 s wanted
    EXPECT_EQ(ClockTickStepFor(12 * kS, 600, 30), 1 * kS);      // 0.6 s wanted
    EXPECT_EQ(ClockTickStepFor(2 * kS, 600, 30), 100);          // 0.1 s
    EXPECT_EQ(ClockTickStepFor(kH, 600, 30), 5 * kMin);         // 3 min wanted
    EXPECT_EQ(ClockTickStepFor(9 * kH, 600, 30), 30 * kMin);    // 27 min wanted
    EXPECT_EQ(ClockTickStepFor(7 * kDay, 700, 30), 12 * kH);    // 7.2 h wanted
    EXPECT_EQ(ClockTickStepFor(30 * kDay, 700, 30), 2 * kDay);  // 1.3 days wanted
    EXPECT_EQ(NextLargerClockStep(30 * kS), kMin);
    EXPECT_EQ(NextLargerClockStep(3 * kH), 6 * kH);
    EXPECT_EQ(NextLargerClockStep(12 * kH), kDay);
}

TEST(ClockTicksTest, LabelFormFollowsStepAndSpan) {
    EXPECT_EQ(ClockLabelFormFor(500, 5 * kS), ClockLabelForm::Milliseconds);
    EXPECT_EQ(ClockLabelFormFor(5 * kS, kMin), ClockLabelForm::Seconds);
    EXPECT_EQ(ClockLabelFormFor(5 * kMin, kH), ClockLabelForm::Minutes);
    EXPECT_EQ(ClockLabelFormFor(kH, 25 * kH), ClockLabelForm::DayAndMinutes);
    EXPECT_EQ(ClockLabelFormFor(kDay, 7 * kDay), ClockLabelForm::DayAndMinutes);

    const ClockFields f{2024, 3, 5, 9, 7, 3, 45};
    EXPECT_EQ(FormatClockLabel(f, ClockLabelForm::Milliseconds), "09:07:03.045");
    EXPECT_EQ(FormatClockLabel(f, ClockLabelForm::Seconds), "09:07:03");
    EXPECT_EQ(FormatClockLabel(f, ClockLabelForm::Minutes), "09:07");
    EXPECT_EQ(FormatClockLabel(f, ClockLabelForm::DayAndMinutes), "03-05 09:07");
}

TEST(ClockTicksTest, FieldsReadTheLocalClock) {
    // 2024-03-05 08:07:03.045 UTC, one hour ahead locally.
    const ClockFields f = ClockFieldsAt(1709626023045, kH);
    EXPECT_EQ(std::vector<int>({f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond}),
              std::vector<int>({2024, 3, 5, 9, 7, 3, 45}));
    // Half past midnight UTC on 1970-01-01 is the evening before at UTC-1.
    const ClockFields g = ClockFieldsAt(30 * kMin, -kH);
    EXPECT_EQ(std::vector<int>({g.year, g.month, g.day, g.hour, g.minute}),
              std::vector<int>({1969, 12, 31, 23, 30}));
}

TEST(ClockTicksTest, TicksFallOnWholeStepsOfTheLocalClock) {
    // 2026-12-10 13:50:07.300 UTC.
    const int64_t t = 1796910607300;
    // Local 14:50:07.3 at UTC+1: the next quarter hour is 15:00 local, 14:00 UTC.
    EXPECT_EQ(FirstClockTick(t, 15 * kMin, Fixed(kH)), 1796911200000);
    // At UTC+5:30 whole local hours are half past in UTC: 19:20 local -> 20:00 local.
    EXPECT_EQ(FirstClockTick(t, kH, Fixed(5 * kH + 30 * kMin)), 1796911200000 + 30 * kMin);
    // Local midnight at UTC+8 is 16:00 UTC the day before; 21:50 local -> next midnight.
    EXPECT_EQ(FirstClockTick(t, kDay, Fixed(8 * kH)), 1796832000000 + kDay);
    // A minimum already on a tick is that tick.
    EXPECT_EQ(FirstClockTick(1796911200000, 15 * kMin, Fixed(kH)), 1796911200000);
}

TEST(ClockTicksTest, TicksKeepTheLocalHourAcrossAClockChange) {
    // The clock goes from UTC+1 to UTC+2 at 2026-03-29 01:00 UTC.
    const int64_t change = 1774746000000;
    const LocalOffsetFn offset = [change](int64_t utc) { return utc < change ? kH : 2 * kH; };
    // Ticks every 3 h from local midnight (23:00 UTC before): 00:00, then 03:00
    // local, which is only 2 h later, then 06:00 local.
    const int64_t midnight = 1774742400000 - kH;
    EXPECT_EQ(NextClockTick(midnight, 3 * kH, offset), midnight + 2 * kH);
    EXPECT_EQ(NextClockTick(midnight + 2 * kH, 3 * kH, offset), midnight + 5 * kH);
    // Going back (UTC+2 to UTC+1): hourly ticks go on an hour apart.
    const LocalOffsetFn back = [change](int64_t utc) { return utc < change ? 2 * kH : kH; };
    EXPECT_EQ(NextClockTick(change - kH, kH, back), change);
}

}  // namespace
