#include "MbapCodec.h"

#include <algorithm>
#include <utility>

#include "MbapFrame.h"
#include "ModbusProtocol.h"

namespace {

using mbap::kHeaderSize;
using mbap::kPrefixSize;
using mbap::Word;
// Address and the two CRC bytes around an RTU frame's PDU.
constexpr size_t kRtuOverhead = 3;

void PutRtu(std::vector<uint8_t>& line, uint8_t address, const uint8_t* pdu, size_t n) {
    const size_t start = line.size();
    line.push_back(address);
    line.insert(line.end(), pdu, pdu + n);
    const uint16_t crc = ModbusCrc(line.data() + start, n + 1);
    line.push_back(static_cast<uint8_t>(crc & 0xFF));
    line.push_back(static_cast<uint8_t>(crc >> 8));
}

}  // namespace

void MbapCodec::Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) {
    // Shorter than an address, a function and a CRC: no frame to carry.
    if (count < kRtuOverhead + 1) return;
    Transaction t;
    t.id = ++nextId_;
    t.address = bytes[0];
    t.unit = unit_ >= 0 ? static_cast<uint8_t>(unit_) : bytes[0];
    awaited_.push_back(t);
    if (awaited_.size() > window_) awaited_.pop_front();
    mbap::PutAdu(wire, t.id, t.unit, bytes + 1, count - kRtuOverhead);
}

void MbapCodec::Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                       std::vector<uint8_t>& reply) {
    (void)reply;
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    if (!mbap::TakeAdus(buffer_,
                        [&](const uint8_t* adu, size_t size) { TakeAdu(adu, size, line); }))
        GiveUp();
}

void MbapCodec::TakeAdu(const uint8_t* p, size_t size, std::vector<uint8_t>& line) {
    const uint16_t id = Word(p);
    const uint8_t unit = p[kPrefixSize];
    const uint8_t* pdu = p + kHeaderSize;
    const size_t n = size - kHeaderSize;
    for (auto t = awaited_.begin(); t != awaited_.end(); ++t) {
        if (t->id != id || t->unit != unit) continue;
        PutRtu(line, t->address, pdu, n);
        awaited_.erase(t);
        return;
    }
    ++dropped_;
}

void MbapCodec::SetWindow(size_t requests) {
    window_ = std::max<size_t>(requests, 1);
    while (awaited_.size() > window_) awaited_.pop_front();
}

void MbapCodec::GiveUp() {
    ++dropped_;
    if (told_) return;
    told_ = true;
    notice_ = {"this server does not speak Modbus TCP: what it sent has no MBAP header",
               "此服务器不使用 Modbus TCP 协议：它发来的数据没有 MBAP 报文头"};
}

LineNotice MbapCodec::TakeNotice() {
    LineNotice notice;
    std::swap(notice, notice_);
    return notice;
}
