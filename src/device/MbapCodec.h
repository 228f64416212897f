#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "LineCodec.h"

// Modbus TCP: every request and reply travels in an MBAP header (transaction
// id, protocol 0, length, unit id) and without the CRC a serial line needs.
// The line side of this codec speaks RTU frames, CRC included, so the receive
// path and a simulated sensor see exactly what a serial line would carry.
//
// Client (tiltlog, the window): Encode takes one whole RTU request and sends
// it as an ADU with the next transaction id; Decode gives back, as an RTU
// frame, the reply that carries that id. Anything else is dropped and counted:
// a reply to an earlier request, another unit's, or bytes with no MBAP header
// (after which nothing buffered can be trusted, so all of it goes).
// Server (tiltsim serving a gateway's clients): Decode turns each ADU request
// into an RTU request; Encode wraps one whole RTU reply in the ADU header of
// the oldest request still unanswered.
class MbapCodec : public LineCodec {
public:
    enum class Side { Client, Server };

    // `unit`: the unit id a client asks for; -1 asks the address of each request.
    explicit MbapCodec(Side side, int unit = -1);

    void Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) override;
    void Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                std::vector<uint8_t>& reply) override;
    std::string TakeNotice() override;
    bool Reframes() const override { return true; }

    // ADUs and bytes given up since the start (see above).
    uint64_t Dropped() const { return dropped_; }

private:
    struct Transaction {
        uint16_t id = 0;
        uint8_t unit = 0;
        uint8_t address = 0;  // the RTU address the answer is given back under
    };

    void EncodeRequest(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire);
    void EncodeReply(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire);
    // One whole ADU of `size` bytes at p.
    void TakeAdu(const uint8_t* p, size_t size, std::vector<uint8_t>& line);
    void GiveUp(const std::string& why);

    const Side side_;
    const int unit_;
    std::vector<uint8_t> buffer_;
    uint16_t nextId_ = 0;
    // Client: the one request awaiting its reply. Server: requests in arrival order.
    std::deque<Transaction> open_;
    uint64_t dropped_ = 0;
    bool told_ = false;
    std::string notice_;
};
