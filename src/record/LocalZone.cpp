#include "LocalZone.h"

#include <time.h>

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

int32_t GmtOffset(int64_t utcSeconds) {
    const time_t t = static_cast<time_t>(utcSeconds);
    tm parts{};
    if (!::localtime_r(&t, &parts)) return 0;
    return static_cast<int32_t>(parts.tm_gmtoff);
}

}  // namespace

// Howard Hinnant's civil-date algorithms: exact over the whole int range we use.
int64_t DaysFromCivil(int year, int month, int day) {
    const int64_t y = static_cast<int64_t>(year) - (month <= 2);
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap);
}

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
