#include "MbapServer.h"

#include "ModbusProtocol.h"

namespace {

// Transaction id, protocol id, length (two bytes each, high first), unit id.
constexpr size_t kHeaderBytes = 7;
// The length counts the unit id and the PDU: a function at least, 253 bytes at most.
constexpr size_t kMinLength = 2;
constexpr size_t kMaxLength = 254;
// An RTU frame: address, function, CRC at least.
constexpr size_t kMinRtuBytes = 4;

size_t Word(const uint8_t* p) {
    return static_cast<size_t>(p[0]) << 8 | p[1];
}

}  // namespace

void MbapServer::Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                        std::vector<uint8_t>& reply) {
    (void)reply;
    in_.insert(in_.end(), wire, wire + count);
    size_t used = 0;
    while (in_.size() - used >= kHeaderBytes) {
        const uint8_t* p = in_.data() + used;
        const size_t length = Word(p + 4);
        if (Word(p + 2) != 0 || length < kMinLength || length > kMaxLength) {
            // No MBAP header where one must be: nothing after it can be framed.
            in_.clear();
            return;
        }
        if (in_.size() - used < 6 + length) break;
        HeardBytes request;
        request.tag = static_cast<int>(Word(p));
        request.bytes.assign(p + 6, p + 6 + length);  // unit id and PDU: an RTU frame's start
        const uint16_t crc = ModbusCrc(request.bytes.data(), request.bytes.size());
        request.bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
        request.bytes.push_back(static_cast<uint8_t>(crc >> 8));
        heard.push_back(std::move(request));
        used += 6 + length;
    }
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(used));
}

void MbapServer::Encode(const uint8_t* bytes, size_t count, int tag, bool frameEnd,
                        std::vector<uint8_t>& wire) {
    frame_.insert(frame_.end(), bytes, bytes + count);
    if (!frameEnd) return;
    std::vector<uint8_t> frame;
    frame.swap(frame_);
    if (tag < 0 || frame.size() < noiseBytes_ + kMinRtuBytes) return;
    const uint8_t* rtu = frame.data() + noiseBytes_;
    const size_t size = frame.size() - noiseBytes_;
    if (ModbusCrc(rtu, size) != 0) return;
    const size_t length = size - 2;  // unit id and PDU
    wire.insert(wire.end(), {static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag & 0xFF), 0, 0,
                             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    wire.insert(wire.end(), rtu, rtu + length);
}
