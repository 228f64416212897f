#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "LineCodec.h"

// A Modbus TCP gateway's client: every request and reply travels in an MBAP
// header (transaction id, protocol 0, length, unit id) and without the CRC a
// serial line needs. The line side speaks RTU frames, CRC included, so the
// receive path sees exactly what a serial line would carry.
//
// Encode takes one whole RTU request and sends it as an ADU with the next
// transaction id; Decode gives back, as an RTU frame, a reply that carries the
// id and unit of one of the requests in the window (the newest only, unless a
// wider window is set). Anything else is dropped and counted: a reply to an
// older request, another unit's, or bytes with no MBAP header (after which
// nothing buffered can be trusted, so all of it goes).
class MbapCodec : public LineCodec {
public:
    // `unit`: the unit id to ask for; -1 asks the address of each request.
    explicit MbapCodec(int unit = -1) : unit_(unit) {}

    void Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) override;
    void Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                std::vector<uint8_t>& reply) override;
    LineNotice TakeNotice() override;
    void SetWindow(size_t requests) override;
    bool Reframes() const override { return true; }

    // ADUs and bytes given up since the start (see above).
    uint64_t Dropped() const { return dropped_; }

private:
    struct Transaction {
        uint16_t id = 0;
        uint8_t unit = 0;
        uint8_t address = 0;  // the RTU address the answer is given back under
    };

    // One whole ADU of `size` bytes at p.
    void TakeAdu(const uint8_t* p, size_t size, std::vector<uint8_t>& line);
    void GiveUp();

    const int unit_;
    std::vector<uint8_t> buffer_;
    uint16_t nextId_ = 0;
    // The newest requests, oldest first: a reply to an older one comes too late.
    std::deque<Transaction> awaited_;
    size_t window_ = 1;
    uint64_t dropped_ = 0;
    bool told_ = false;
    LineNotice notice_;
};
