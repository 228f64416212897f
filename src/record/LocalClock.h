#pragma once

// Local wall-clock time as the recorder stamps rows and names files. A seam so
// that tests can fix or advance the time.

struct LocalTime {
    int year = 1970;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;       // 0..60 (a leap second shows as 60)
    int millisecond = 0;  // 0..999
    int utcOffsetMinutes = 0;  // local time minus UTC: +60 for CET
};

class Clock {
public:
    virtual ~Clock() = default;
    // Called from the UI thread and from the writer thread at once, so a
    // realisation must be thread-safe.
    virtual LocalTime Now() = 0;
};

// The system's local time zone, as the operator's desktop shows it.
class SystemClock : public Clock {
public:
    LocalTime Now() override;
};
