#include "Decimal.h"

bool ParseDecimal(std::string_view text, uint64_t max, uint64_t& out) {
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        // Checked before it can wrap: "99999999999999999999" is too big, not small.
        if (digit > max || value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    out = value;
    return true;
}
