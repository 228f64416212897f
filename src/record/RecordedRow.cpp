#include "RecordedRow.h"

#include <cmath>
#include <cstring>

#include "LocalZone.h"

namespace {

constexpr std::string_view kHeader = "X(deg),Y(deg),Temperature, Time";
constexpr std::string_view kBusHeader = "Address,X(deg),Y(deg),Temperature, Time";
constexpr int kMaxValueDigits = 15;

const double kPow10[kMaxValueDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// -?digits(.digits)?, as printf's "%.<n>f" writes; empty is NaN. Digits and
// the power of ten are both exact in a double, so one division rounds as
// strtod would.
bool ParseValue(const char* p, const char* end, double& value, uint8_t& decimals) {
    decimals = 0;
    if (p == end) {
        value = std::nan("");
        return true;
    }
    const bool negative = *p == '-';
    if (negative) ++p;
    int64_t mantissa = 0;
    int digits = 0;
    const char* start = p;
    while (p != end && IsDigit(*p)) {
        mantissa = mantissa * 10 + (*p++ - '0');
        if (++digits > kMaxValueDigits) return false;
    }
    if (p == start) return false;
    if (p != end) {
        if (*p++ != '.') return false;
        const char* fraction = p;
        while (p != end && IsDigit(*p)) {
            mantissa = mantissa * 10 + (*p++ - '0');
            if (++digits > kMaxValueDigits) return false;
        }
        if (p != end || p == fraction) return false;
        decimals = static_cast<uint8_t>(p - fraction);
    }
    const double v = static_cast<double>(mantissa) / kPow10[decimals];
    value = negative ? -v : v;
    return true;
}

// Unpadded (zero padding is taken too), up to `maxDigits`, then `stop`.
bool ParseField(const char*& p, const char* end, int maxDigits, char stop, int& out) {
    int v = 0;
    int digits = 0;
    while (p != end && IsDigit(*p)) {
        if (++digits > maxDigits) return false;
        v = v * 10 + (*p++ - '0');
    }
    if (digits == 0 || p == end || *p != stop) return false;
    ++p;
    out = v;
    return true;
}

bool ParseStamp(const char* p, const char* end, RecordedRow& row) {
    if (!ParseField(p, end, 4, '-', row.year) || !ParseField(p, end, 2, '-', row.month) ||
        !ParseField(p, end, 2, ' ', row.day) || !ParseField(p, end, 2, ':', row.hour) ||
        !ParseField(p, end, 2, ':', row.minute) || !ParseField(p, end, 2, '\'', row.second) ||
        !ParseField(p, end, 3, ' ', row.millisecond) || p != end)
        return false;
    // A leap second would be 60; the clock the recorder reads never shows one.
    return row.year >= 1 && row.month >= 1 && row.month <= 12 && row.day >= 1 &&
           row.day <= DaysInMonth(row.year, row.month) && row.hour <= 23 && row.minute <= 59 &&
           row.second <= 59;
}

bool ParseAddress(const char* p, const char* end, int& address) {
    if (p == end || end - p > 3) return false;
    int v = 0;
    for (; p != end; ++p) {
        if (!IsDigit(*p)) return false;
        v = v * 10 + (*p - '0');
    }
    if (v > 255) return false;
    address = v;
    return true;
}

}  // namespace

int64_t RecordedRow::LocalMs() const {
    const int64_t seconds =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return seconds * 1000 + millisecond;
}

LineKind ParseRecordingLine(std::string_view line, RecordedRow& row) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return LineKind::Blank;
    if (line == kHeader) return LineKind::Header;
    if (line == kBusHeader) return LineKind::BusHeader;

    const char* p = line.data();
    const char* const end = p + line.size();
    const char* commas[4];
    int count = 0;
    for (const char* c = p; c != end; ++c) {
        if (*c != ',') continue;
        if (count == 4) return LineKind::Unreadable;
        commas[count++] = c;
    }
    if (count < 3) return LineKind::Unreadable;

    // Five fields: tiltlog's bus output, the address first.
    row.address = -1;
    int first = 0;
    if (count == 4) {
        if (!ParseAddress(p, commas[0], row.address)) return LineKind::Unreadable;
        p = commas[0] + 1;
        first = 1;
    }
    for (int i = 0; i < 3; ++i) {
        const char* fieldEnd = commas[first + i];
        if (!ParseValue(p, fieldEnd, row.value[i], row.decimals[i])) return LineKind::Unreadable;
        p = fieldEnd + 1;
    }
    return ParseStamp(p, end, row) ? LineKind::Row : LineKind::Unreadable;
}

int AddressFromFileName(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    constexpr std::string_view kCsv = ".csv";
    if (path.size() < kCsv.size() || path.substr(path.size() - kCsv.size()) != kCsv) return -1;
    path.remove_suffix(kCsv.size());
    // A numbered name for a name someone else holds: "-2" after the stamp.
    const size_t dash = path.rfind('-');
    if (dash != std::string_view::npos && dash + 1 < path.size()) {
        bool digits = true;
        for (char c : path.substr(dash + 1)) digits = digits && IsDigit(c);
        if (digits) path = path.substr(0, dash);
    }
    constexpr size_t kStamp = 14;
    if (path.size() < kStamp + 1 || path[path.size() - kStamp - 1] != '_') return -1;
    for (char c : path.substr(path.size() - kStamp)) {
        if (!IsDigit(c)) return -1;
    }
    path.remove_suffix(kStamp + 1);
    const size_t marker = path.rfind("_A");
    if (marker == std::string_view::npos) return -1;
    int address = -1;
    const std::string_view digits = path.substr(marker + 2);
    if (!ParseAddress(digits.data(), digits.data() + digits.size(), address)) return -1;
    return address;
}
