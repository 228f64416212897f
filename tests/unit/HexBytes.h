#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

// "68 04 00 04 08" -> bytes, so that tests read like the sensors' manuals.
inline std::vector<uint8_t> Hex(const std::string& text) {
    std::istringstream in(text);
    std::vector<uint8_t> out;
    unsigned value = 0;
    while (in >> std::hex >> value) out.push_back(static_cast<uint8_t>(value));
    return out;
}
