#include "AddressList.h"

#include <array>
#include <cctype>

#include "Decimal.h"
#include "DeviceTypes.h"

namespace {

std::string Trimmed(const std::string& text) {
    size_t from = 0;
    size_t to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) ++from;
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) --to;
    return text.substr(from, to - from);
}

// Decimal digits only, 0..255; no sign, so "-" stays the range mark.
bool ReadAddress(const std::string& text, unsigned& value) {
    uint64_t read = 0;
    if (text.size() > 3 || !ParseDecimal(text, 255, read)) return false;
    value = static_cast<unsigned>(read);
    return true;
}

bool Refuse(const std::string& part, const char* why, std::vector<uint8_t>& addresses,
            std::string& error) {
    addresses.clear();
    error = "address list: '" + part + "' " + why;
    return false;
}

}  // namespace

bool ParseAddressList(const std::string& text, std::vector<uint8_t>& addresses,
                      std::string& error) {
    addresses.clear();
    error.clear();
    std::array<bool, 256> seen{};
    size_t from = 0;
    for (;;) {
        size_t comma = text.find(',', from);
        if (comma == std::string::npos) comma = text.size();
        const std::string part = Trimmed(text.substr(from, comma - from));
        if (part.empty()) return Refuse(part, "is empty (a missing address)", addresses, error);

        unsigned low = 0;
        unsigned high = 0;
        const size_t dash = part.find('-');
        if (dash == std::string::npos) {
            if (!ReadAddress(part, low))
                return Refuse(part, "is not an address 0..255", addresses, error);
            high = low;
        } else {
            if (!ReadAddress(Trimmed(part.substr(0, dash)), low) ||
                !ReadAddress(Trimmed(part.substr(dash + 1)), high))
                return Refuse(part, "is not a range of addresses 0..255", addresses, error);
            if (high < low) return Refuse(part, "is a reversed range", addresses, error);
        }
        for (unsigned a = low; a <= high; ++a) {
            if (seen[a])
                return Refuse(part, ("repeats address " + std::to_string(a)).c_str(), addresses,
                              error);
            seen[a] = true;
            addresses.push_back(static_cast<uint8_t>(a));
        }
        if (comma == text.size()) return true;
        from = comma + 1;
    }
}

bool LooksLikeAddressList(const std::string& text) {
    return text.find_first_of(",-") != std::string::npos;
}

std::string BusAddressFault(const std::vector<uint8_t>& addresses, int protocol) {
    const uint8_t broadcast = protocol == kProtocolModbus ? 0 : 0xFF;
    for (uint8_t a : addresses) {
        if (a == broadcast)
            return std::to_string(a) + " is the " +
                   (protocol == kProtocolModbus ? "Modbus" : "frame protocol's") +
                   " broadcast address, which no sensor on a bus answers";
    }
    return {};
}

std::string AddressListText(const std::vector<uint8_t>& addresses) {
    std::string text;
    for (uint8_t a : addresses) text += (text.empty() ? "" : ",") + std::to_string(a);
    return text;
}
