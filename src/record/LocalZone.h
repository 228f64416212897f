#pragma once

#include <cstdint>

#include "CivilDate.h"

// The process's time zone (TZ), for reading local time stamps back as instants
// and writing instants as local time again.

// The zone's offsets with a cache per hour: a recording spans few hours of the
// zone's rules but millions of rows, and localtime_r per row would cost more
// than the rest of reading. Not shareable between threads; make one each.
class LocalZone {
public:
    // The zone as TZ names it now, even when TZ changed since the last look.
    LocalZone();

    // The offsets (local minus UTC, seconds) under which a local wall-clock
    // second exists, the earlier instant first: none in the hour a clock change
    // skips, two in the hour it repeats.
    struct Offsets {
        int count = 0;
        int32_t first = 0;
        int32_t second = 0;
        bool operator==(const Offsets& o) const {
            return count == o.count && first == o.first && second == o.second;
        }
    };

    // `localSeconds`: the wall-clock time counted as if it were UTC.
    Offsets At(int64_t localSeconds);
    // Local minus UTC at an instant.
    int32_t OffsetAt(int64_t utcSeconds);

private:
    static Offsets Exact(int64_t localSeconds);

    // Direct-mapped by hour; an hour whose rules change inside it is not cached.
    static constexpr int kSlots = 16;
    struct LocalSlot {
        int64_t hour = INT64_MIN;
        Offsets offsets;
    };
    struct UtcSlot {
        int64_t hour = INT64_MIN;
        int32_t offset = 0;
    };
    LocalSlot local_[kSlots];
    UtcSlot utc_[kSlots];
};
