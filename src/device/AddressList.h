#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A list of bus addresses as an operator types it: "1,2,3", "1-10,12", spaces
// anywhere between the parts. Each address is 0..255; which of those a protocol
// allows is the caller's rule. Duplicates and reversed ranges are refused, since
// either is a typing slip that would poll a sensor twice or none at all.
// On failure `error` names the bad part and `addresses` is left empty.
bool ParseAddressList(const std::string& text, std::vector<uint8_t>& addresses, std::string& error);

// An address list typed where one address is asked: "1-3,7", not "12".
bool LooksLikeAddressList(const std::string& text);

// Why a bus of these addresses cannot be polled in `protocol`, or "" when it
// can: a broadcast is obeyed by every sensor and answered by none.
std::string BusAddressFault(const std::vector<uint8_t>& addresses, int protocol);

// "1,9,3": a list as the address box shows it.
std::string AddressListText(const std::vector<uint8_t>& addresses);
