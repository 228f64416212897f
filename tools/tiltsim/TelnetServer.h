#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "ServedTransport.h"
#include "TelnetStream.h"

// A device server's telnet side with the COM port option: 0xFF doubled both
// ways, options negotiated, and the client's serial settings taken, applied
// and confirmed with the server's codes.
class TelnetServer : public ServedTransport {
public:
    explicit TelnetServer(const LineSettings& line) : line_(line) {}

    void Greet(std::vector<uint8_t>& wire) override;
    void Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                std::vector<uint8_t>& reply) override;
    void Encode(const uint8_t* bytes, size_t count, int tag, bool frameEnd,
                std::vector<uint8_t>& wire) override;
    std::optional<LineSettings> ClientLine() const override { return line_; }

private:
    // Per option and side: not on, asked for by us, on.
    enum class Agreed : uint8_t { No, Asked, Yes };

    void Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);
    void ComPortCommand(const std::vector<uint8_t>& sub, std::vector<uint8_t>& reply);
    void HeardByte(uint8_t b, std::vector<HeardBytes>& heard);

    LineSettings line_;
    TelnetStream stream_;
    std::array<Agreed, 256> ours_{};
    std::array<Agreed, 256> theirs_{};
    // The line changed since the last bytes heard: the next ones start a new piece.
    bool lineChanged_ = true;
};
