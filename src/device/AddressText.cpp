#include "AddressText.h"

bool ReadAddressDigits(const std::string& text, unsigned& value) {
    if (text.empty() || text.size() > 3) return false;
    unsigned digits = 0;
    for (char c : text) {
        // The boxes take digits only; anything else pasted in is no address.
        if (c < '0' || c > '9') return false;
        digits = digits * 10 + static_cast<unsigned>(c - '0');
    }
    value = digits;
    return true;
}
