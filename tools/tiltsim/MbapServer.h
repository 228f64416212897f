#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ServedTransport.h"

// A Modbus TCP gateway in front of the simulated line: each MBAP request goes
// on the line as an RTU request, and the line's reply goes back without its CRC
// under the request's transaction id. What nobody asked for, and a reply the
// line garbled, a gateway does not pass on.
class MbapServer : public ServedTransport {
public:
    // `noiseBytes`: line noise before every frame, which the gateway skips.
    explicit MbapServer(size_t noiseBytes) : noiseBytes_(noiseBytes) {}

    void Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                std::vector<uint8_t>& reply) override;
    void Encode(const uint8_t* bytes, size_t count, int tag, bool frameEnd,
                std::vector<uint8_t>& wire) override;

private:
    size_t noiseBytes_;
    std::vector<uint8_t> in_;
    std::vector<uint8_t> frame_;
};
