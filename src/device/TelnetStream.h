#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Telnet's byte stream, the same for a client and a server: data with 0xFF
// doubled, option commands (WILL, WONT, DO, DONT) and subnegotiations. The
// reader keeps its state between blocks, so a command split across two reads
// is taken once whole.
class TelnetStream {
public:
    static constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251,
                             kSb = 250, kSe = 240;
    static constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
    // The COM port option's commands that set the line; a server answers with code + 100.
    static constexpr uint8_t kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4;
    static constexpr uint8_t kServerCode = 100;
    // A subnegotiation longer than this is nobody's command: the rest is dropped.
    static constexpr size_t kMaxSubBytes = 64;

    struct Handlers {
        std::function<void(uint8_t)> data;
        std::function<void(uint8_t verb, uint8_t option)> option;
        // The bytes between IAC SB and IAC SE, option number first, undoubled.
        std::function<void(const std::vector<uint8_t>&)> subnegotiation;
    };

    void Read(const uint8_t* bytes, size_t count, const Handlers& handlers);

    static void PutEscaped(std::vector<uint8_t>& wire, const uint8_t* bytes, size_t count);
    // IAC SB option command value IAC SE, the value escaped.
    static void PutSubnegotiation(std::vector<uint8_t>& wire, uint8_t option, uint8_t command,
                                  const std::vector<uint8_t>& value);
    // The COM port option's numbers for a parity letter (N, O, E, M, S: 1..5)
    // and for the line's stop bits (0 one, 1 one and a half, 2 two: 1, 3, 2).
    static uint8_t ParityCode(char parity);
    static uint8_t StopSizeCode(int stopBits);

private:
    enum class State { Data, Iac, Option, Sub, SubIac };

    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::vector<uint8_t> sub_;
};
