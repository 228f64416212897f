#include "AddressText.h"

#include "Decimal.h"

bool ReadAddressDigits(const std::string& text, unsigned& value) {
    // The boxes take digits only; anything else pasted in is no address.
    uint64_t digits = 0;
    if (text.size() > 3 || !ParseDecimal(text, 999, digits)) return false;
    value = static_cast<unsigned>(digits);
    return true;
}
