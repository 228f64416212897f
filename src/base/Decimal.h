#pragma once

#include <cstdint>
#include <string_view>

// Reads `text` as plain decimal digits (no sign, no blanks, at least one digit)
// whose value is at most `max`. False, with `out` untouched, for anything else.
bool ParseDecimal(std::string_view text, uint64_t max, uint64_t& out);
