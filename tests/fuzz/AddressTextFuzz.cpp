// The address box and the new-address box: any text, never a crash, and an
// address only from one to three digits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "AddressText.h"
#include "ConnectionPanel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    uint8_t address = 0;
    if (ConnectionPanel::ParseDeviceAddress(text, address)) {
        if (text.empty() || text.size() > 3) std::abort();
        unsigned value = 0;
        for (char c : text) {
            if (c < '0' || c > '9') std::abort();
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (address != value % 256) std::abort();
    }
    // Both boxes read their digits alike.
    unsigned digits = 0;
    if (ReadAddressDigits(text, digits) != ConnectionPanel::ParseDeviceAddress(text, address))
        std::abort();
    if (digits > 999) std::abort();
    ConnectionPanel::PortNumberOf(text);
    return 0;
}
