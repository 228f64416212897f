#include "LinkTimerSchedule.h"

void LinkTimerSchedule::Start(LinkTimer timer, int periodMs, bool singleShot,
                              Clock::time_point now) {
    const Clock::duration period = std::chrono::milliseconds(periodMs);
    timers_[timer] = Deadline{period, now + period, singleShot};
}

void LinkTimerSchedule::Stop(LinkTimer timer) {
    timers_.erase(timer);
}

void LinkTimerSchedule::DueAt(LinkTimer timer, Clock::time_point at) {
    auto it = timers_.find(timer);
    if (it != timers_.end()) it->second.due = at;
}

std::optional<LinkTimerSchedule::Clock::time_point> LinkTimerSchedule::NextDue() const {
    std::optional<Clock::time_point> next;
    for (const auto& [timer, deadline] : timers_)
        if (!next || deadline.due < *next) next = deadline.due;
    return next;
}

bool LinkTimerSchedule::TakeExpiry(LinkTimer timer, Clock::time_point now) {
    auto it = timers_.find(timer);
    if (it == timers_.end() || now < it->second.due) return false;
    Deadline& d = it->second;
    if (d.singleShot) {
        timers_.erase(it);
        return true;
    }
    d.due += d.period;
    if (d.due <= now) d.due = now + d.period;
    return true;
}
