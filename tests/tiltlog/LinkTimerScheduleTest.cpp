// The link's timers as deadlines: expiry, no burst after falling behind, single shots.

#include <gtest/gtest.h>

#include <chrono>

#include "LinkTimerSchedule.h"

namespace {

using Clock = LinkTimerSchedule::Clock;
using std::chrono::milliseconds;

const Clock::time_point t0 = Clock::time_point{} + milliseconds(10000);

}  // namespace

TEST(LinkTimerSchedule, ARepeatingTimerExpiresOncePerPeriod) {
    LinkTimerSchedule timers;
    timers.Start(LinkTimer::Poll, 200, false, t0);
    EXPECT_FALSE(timers.TakeExpiry(LinkTimer::Poll, t0 + milliseconds(199)));
    EXPECT_TRUE(timers.TakeExpiry(LinkTimer::Poll, t0 + milliseconds(200)));
    EXPECT_FALSE(timers.TakeExpiry(LinkTimer::Poll, t0 + milliseconds(300)));
    EXPECT_EQ(*timers.NextDue(), t0 + milliseconds(400));
}

TEST(LinkTimerSchedule, ATimerFarBehindExpiresOnceAndGoesOnFromNow) {
    LinkTimerSchedule timers;
    timers.Start(LinkTimer::Poll, 200, false, t0);
    const Clock::time_point late = t0 + milliseconds(5000);
    EXPECT_TRUE(timers.TakeExpiry(LinkTimer::Poll, late));
    EXPECT_FALSE(timers.TakeExpiry(LinkTimer::Poll, late));
    EXPECT_EQ(*timers.NextDue(), late + milliseconds(200));
}

TEST(LinkTimerSchedule, ASingleShotTimerExpiresOnceAndStops) {
    LinkTimerSchedule timers;
    timers.Start(LinkTimer::Settings, 1000, true, t0);
    EXPECT_TRUE(timers.TakeExpiry(LinkTimer::Settings, t0 + milliseconds(1000)));
    EXPECT_FALSE(timers.Running(LinkTimer::Settings));
    EXPECT_FALSE(timers.NextDue().has_value());
}

TEST(LinkTimerSchedule, TheNextDueIsTheEarliestRunningTimer) {
    LinkTimerSchedule timers;
    timers.Start(LinkTimer::Settings, 1000, true, t0);
    timers.Start(LinkTimer::Poll, 200, false, t0);
    EXPECT_EQ(*timers.NextDue(), t0 + milliseconds(200));
    timers.Stop(LinkTimer::Poll);
    EXPECT_EQ(*timers.NextDue(), t0 + milliseconds(1000));
}

TEST(LinkTimerSchedule, DueAtMovesTheNextExpiryAndKeepsThePeriod) {
    LinkTimerSchedule timers;
    timers.Start(LinkTimer::Poll, 200, false, t0);
    timers.DueAt(LinkTimer::Poll, t0);
    EXPECT_TRUE(timers.TakeExpiry(LinkTimer::Poll, t0));
    EXPECT_EQ(*timers.NextDue(), t0 + milliseconds(200));
    timers.DueAt(LinkTimer::Settings, t0);  // not running: stays so
    EXPECT_FALSE(timers.Running(LinkTimer::Settings));
}
