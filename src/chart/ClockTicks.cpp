#include "ClockTicks.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "CivilDate.h"

namespace {

constexpr std::array<int64_t, 33> kSteps = {
    1,
    2,
    5,
    10,
    20,
    50,
    100,
    200,
    500,
    kClockSecond,
    2 * kClockSecond,
    5 * kClockSecond,
    10 * kClockSecond,
    15 * kClockSecond,
    30 * kClockSecond,
    kClockMinute,
    2 * kClockMinute,
    5 * kClockMinute,
    10 * kClockMinute,
    15 * kClockMinute,
    30 * kClockMinute,
    kClockHour,
    2 * kClockHour,
    3 * kClockHour,
    6 * kClockHour,
    12 * kClockHour,
    kClockDay,
    2 * kClockDay,
    5 * kClockDay,
    10 * kClockDay,
    20 * kClockDay,
    50 * kClockDay,
    100 * kClockDay,
};

// Rounds down to a whole multiple, also below zero (instants before 1970).
int64_t FloorTo(int64_t value, int64_t step) {
    return FloorDiv(value, step) * step;
}

}  // namespace

int64_t ClockTickStepFor(double spanMs, int spanPixels, int minPixels) {
    const int pixels = std::abs(spanPixels);
    if (!(spanMs > 0) || pixels == 0) return kSteps.back();
    for (const int64_t step : kSteps) {
        if (static_cast<double>(step) / spanMs * pixels >= minPixels) return step;
    }
    return kSteps.back();
}

int64_t NextLargerClockStep(int64_t stepMs) {
    for (const int64_t step : kSteps) {
        if (step > stepMs) return step;
    }
    return kSteps.back();
}

ClockLabelForm ClockLabelFormFor(int64_t stepMs, double spanMs) {
    if (stepMs >= kClockDay || spanMs >= kClockDay) return ClockLabelForm::DayAndMinutes;
    if (stepMs < kClockSecond) return ClockLabelForm::Milliseconds;
    if (stepMs < kClockMinute) return ClockLabelForm::Seconds;
    return ClockLabelForm::Minutes;
}

int64_t FirstClockTick(int64_t minUtcMs, int64_t stepMs, const LocalOffsetFn& offset) {
    const int64_t off = offset(minUtcMs);
    int64_t tick = FloorTo(minUtcMs + off, stepMs) - off;
    if (tick < minUtcMs) tick += stepMs;
    return tick;
}

int64_t NextClockTick(int64_t tick, int64_t stepMs, const LocalOffsetFn& offset) {
    const int64_t plain = tick + stepMs;
    const int64_t off = offset(plain);
    const int64_t aligned = FloorTo(plain + off, stepMs) - off;
    // Where the clock went back, the aligned time may not lie ahead.
    return aligned > tick ? aligned : plain;
}

std::string FormatClockLabel(const ClockFields& f, ClockLabelForm form) {
    char text[40];
    switch (form) {
        case ClockLabelForm::Milliseconds:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", f.hour, f.minute, f.second,
                          f.millisecond);
            break;
        case ClockLabelForm::Seconds:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", f.hour, f.minute, f.second);
            break;
        case ClockLabelForm::Minutes:
            std::snprintf(text, sizeof text, "%02d:%02d", f.hour, f.minute);
            break;
        case ClockLabelForm::DayAndMinutes:
            std::snprintf(text, sizeof text, "%02d-%02d %02d:%02d", f.month, f.day, f.hour,
                          f.minute);
            break;
    }
    return text;
}

ClockFields ClockFieldsAt(int64_t utcMs, int64_t offsetMs) {
    const int64_t local = utcMs + offsetMs;
    const int64_t day = FloorTo(local, kClockDay);
    int64_t inDay = local - day;
    ClockFields f;
    CivilFromDays(day / kClockDay, f.year, f.month, f.day);
    f.hour = static_cast<int>(inDay / kClockHour);
    inDay %= kClockHour;
    f.minute = static_cast<int>(inDay / kClockMinute);
    inDay %= kClockMinute;
    f.second = static_cast<int>(inDay / kClockSecond);
    f.millisecond = static_cast<int>(inDay % kClockSecond);
    return f;
}

int64_t SystemLocalOffsetMs(int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(FloorTo(utcMs, kClockSecond) / 1000);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return 0;
    return static_cast<int64_t>(local.tm_gmtoff) * kClockSecond;
}
