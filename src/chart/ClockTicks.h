#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Tick steps and labels for an axis of clock time: values are milliseconds
// since the epoch (UTC), labels are local time. Pure functions; the local
// offset comes in, so they hold in any zone.

// How a tick label reads; the form follows the step and the range shown.
enum class ClockLabelForm {
    Milliseconds,   // hh:mm:ss.zzz
    Seconds,        // hh:mm:ss
    Minutes,        // hh:mm
    DayAndMinutes,  // MM-dd hh:mm
};

// Milliseconds to add to a UTC instant to read the local clock at that instant.
using LocalOffsetFn = std::function<int64_t(int64_t utcMs)>;

// The local clock broken into fields.
struct ClockFields {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The steps ticks may take, from 1 ms up to 100 days, ascending.
constexpr int64_t kClockSecond = 1000;
constexpr int64_t kClockMinute = 60 * kClockSecond;
constexpr int64_t kClockHour = 60 * kClockMinute;
constexpr int64_t kClockDay = 24 * kClockHour;

// The smallest step that leaves at least minPixels between ticks when spanMs
// is shown over spanPixels; the largest step when none does.
int64_t ClockTickStepFor(double spanMs, int spanPixels, int minPixels);
// The next step of the series; the largest stays as it is.
int64_t NextLargerClockStep(int64_t stepMs);

ClockLabelForm ClockLabelFormFor(int64_t stepMs, double spanMs);

// The first tick at or after minUtcMs that falls on a whole step of the local
// clock (whole minutes, whole hours, local midnight, ...).
int64_t FirstClockTick(int64_t minUtcMs, int64_t stepMs, const LocalOffsetFn& offset);
// The tick after `tick`; at a clock change the local step is kept where it can be.
int64_t NextClockTick(int64_t tick, int64_t stepMs, const LocalOffsetFn& offset);

std::string FormatClockLabel(const ClockFields& fields, ClockLabelForm form);

// The fields of a UTC instant on a clock `offsetMs` ahead of UTC.
ClockFields ClockFieldsAt(int64_t utcMs, int64_t offsetMs);

// This machine's local offset (the TZ rules in force), for the axis to use.
int64_t SystemLocalOffsetMs(int64_t utcMs);
