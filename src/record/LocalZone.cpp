#include "LocalZone.h"

#include <time.h>

namespace {

int32_t GmtOffset(int64_t utcSeconds) {
    const time_t t = static_cast<time_t>(utcSeconds);
    tm parts{};
    if (!::localtime_r(&t, &parts)) return 0;
    return static_cast<int32_t>(parts.tm_gmtoff);
}

}  // namespace

LocalZone::LocalZone() {
    ::tzset();
}

LocalZone::Offsets LocalZone::Exact(int64_t localSeconds) {
    // Every offset in use lies within a day of UTC, so the zone's offsets a day
    // either side include both sides of any change that touches this second.
    const int32_t candidates[3] = {GmtOffset(localSeconds - 86400), GmtOffset(localSeconds),
                                   GmtOffset(localSeconds + 86400)};
    Offsets found;
    for (int i = 0; i < 3; ++i) {
        const int32_t c = candidates[i];
        if ((found.count > 0 && found.first == c) || (found.count > 1 && found.second == c))
            continue;
        if (GmtOffset(localSeconds - c) != c) continue;
        if (found.count == 0) {
            found.first = c;
        } else {
            found.second = c;
        }
        ++found.count;
        if (found.count == 2) break;
    }
    // The larger offset reaches the wall-clock time at the earlier instant.
    if (found.count == 2 && found.second > found.first) {
        const int32_t t = found.first;
        found.first = found.second;
        found.second = t;
    }
    return found;
}

LocalZone::Offsets LocalZone::At(int64_t localSeconds) {
    const int64_t hour = FloorDiv(localSeconds, 3600);
    LocalSlot& slot = local_[static_cast<size_t>(hour & (kSlots - 1))];
    if (slot.hour == hour) return slot.offsets;
    const Offsets start = Exact(hour * 3600);
    if (!(Exact(hour * 3600 + 3599) == start)) return Exact(localSeconds);
    slot.hour = hour;
    slot.offsets = start;
    return start;
}

int32_t LocalZone::OffsetAt(int64_t utcSeconds) {
    const int64_t hour = FloorDiv(utcSeconds, 3600);
    UtcSlot& slot = utc_[static_cast<size_t>(hour & (kSlots - 1))];
    if (slot.hour == hour) return slot.offset;
    const int32_t start = GmtOffset(hour * 3600);
    if (GmtOffset(hour * 3600 + 3599) != start) return GmtOffset(utcSeconds);
    slot.hour = hour;
    slot.offset = start;
    return start;
}
