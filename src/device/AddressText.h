#pragma once

#include <string>

// The digits of an address box: one to three decimal digits and nothing else.
// False for any other text. The value runs to 999; each box has its own rule
// for what lies above 255.
bool ReadAddressDigits(const std::string& text, unsigned& value);
