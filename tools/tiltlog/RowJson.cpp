#include "RowJson.h"

#include <cstdio>
#include <cstdlib>

namespace {

// A JSON number: optional minus, digits, optional fraction and exponent. What
// else a format could print ("nan", "inf", a comma) would make the whole
// object unreadable, so it goes out as null instead.
bool IsJsonNumber(const std::string& s) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        return i > from;
    };
    if (i < s.size() && s[i] == '-') ++i;
    if (!digits()) return false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == s.size();
}

void PutValue(std::string& out, const char* name, const std::string& text) {
    out += ", \"";
    out += name;
    out += "\": ";
    out += IsJsonNumber(text) ? text : "null";
}

}  // namespace

std::string IsoTime(const LocalTime& t) {
    const int offset = t.utcOffsetMinutes;
    const int magnitude = std::abs(offset);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, t.millisecond, offset < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
    return text;
}

std::string RowJson(uint8_t address, const std::string& x, const std::string& y,
                    const std::string& temperature, const LocalTime& at) {
    std::string out = "{\"address\": " + std::to_string(address);
    PutValue(out, "x", x);
    PutValue(out, "y", y);
    PutValue(out, "temperature", temperature);
    out += ", \"time\": \"" + IsoTime(at) + "\"}";
    return out;
}
