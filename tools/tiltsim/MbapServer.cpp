#include "MbapServer.h"

#include "MbapFrame.h"
#include "ModbusProtocol.h"

namespace {

// An RTU frame: address, function, CRC at least.
constexpr size_t kMinRtuBytes = 4;

}  // namespace

void MbapServer::Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                        std::vector<uint8_t>& reply) {
    (void)reply;
    in_.insert(in_.end(), wire, wire + count);
    // No MBAP header where one must be: the rest is dropped with it.
    mbap::TakeAdus(in_, [&](const uint8_t* adu, size_t size) {
        HeardBytes request;
        request.tag = static_cast<int>(mbap::Word(adu));
        // The unit id and PDU are an RTU frame's start.
        request.bytes.assign(adu + mbap::kPrefixSize, adu + size);
        const uint16_t crc = ModbusCrc(request.bytes.data(), request.bytes.size());
        request.bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
        request.bytes.push_back(static_cast<uint8_t>(crc >> 8));
        heard.push_back(std::move(request));
    });
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
    // Without the CRC: the unit id is the address, the PDU what follows it.
    mbap::PutAdu(wire, static_cast<uint16_t>(tag), rtu[0], rtu + 1, size - 3);
}
