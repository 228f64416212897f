#pragma once

#include <chrono>
#include <map>
#include <optional>

#include "LinkView.h"

// The link's timers as deadlines that tiltlog's loop sleeps towards. Time is
// passed in, so the schedule itself never waits and tests need no clock.
class LinkTimerSchedule {
public:
    using Clock = std::chrono::steady_clock;

    void Start(LinkTimer timer, int periodMs, bool singleShot, Clock::time_point now);
    void Stop(LinkTimer timer);
    bool Running(LinkTimer timer) const { return timers_.count(timer) != 0; }
    // Brings a running timer's next expiry forward or back to `at`; its period stays.
    void DueAt(LinkTimer timer, Clock::time_point at);

    // The earliest expiry of the running timers; none when nothing runs.
    std::optional<Clock::time_point> NextDue() const;
    // True when `timer` has expired at `now`. A repeating timer is then due one
    // period later, or one period from now when the loop fell behind (no burst of
    // requests after a stopped process); a single-shot one stops.
    bool TakeExpiry(LinkTimer timer, Clock::time_point now);

private:
    struct Deadline {
        Clock::duration period;
        Clock::time_point due;
        bool singleShot;
    };
    std::map<LinkTimer, Deadline> timers_;
};
