#pragma once

#include <cstdint>
#include <vector>

// The request that asks the sensor at `address` for its angles, in the protocol
// of the selector (kProtocolTarq or kProtocolModbus).
std::vector<uint8_t> BuildReadRequest(int protocol, uint8_t address);
