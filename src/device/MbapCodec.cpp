#include "MbapCodec.h"

#include <utility>

#include "ModbusProtocol.h"

namespace {

// Transaction id, protocol id and length, each two bytes, high byte first.
constexpr size_t kPrefixSize = 6;
constexpr size_t kHeaderSize = kPrefixSize + 1;  // and the unit id
// The length counts the unit id and the PDU: a function code at least, a
// serial line's 253-byte PDU at most.
constexpr size_t kMinLength = 2;
constexpr size_t kMaxLength = 254;
// Address and the two CRC bytes around an RTU frame's PDU.
constexpr size_t kRtuOverhead = 3;

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void PutWord(std::vector<uint8_t>& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void PutAdu(std::vector<uint8_t>& wire, uint16_t id, uint8_t unit, const uint8_t* pdu, size_t n) {
    PutWord(wire, id);
    PutWord(wire, 0);
    PutWord(wire, n + 1);
    wire.push_back(unit);
    wire.insert(wire.end(), pdu, pdu + n);
}

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
    awaited_ = t;
    PutAdu(wire, t.id, t.unit, bytes + 1, count - kRtuOverhead);
}

void MbapCodec::Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                       std::vector<uint8_t>& reply) {
    (void)reply;
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    size_t used = 0;
    while (buffer_.size() - used >= kHeaderSize) {
        const uint8_t* p = buffer_.data() + used;
        const size_t length = Word(p + 4);
        if (Word(p + 2) != 0 || length < kMinLength || length > kMaxLength) {
            GiveUp();
            return;
        }
        const size_t size = kPrefixSize + length;
        if (buffer_.size() - used < size) break;
        TakeAdu(p, size, line);
        used += size;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used));
}

void MbapCodec::TakeAdu(const uint8_t* p, size_t size, std::vector<uint8_t>& line) {
    const uint16_t id = Word(p);
    const uint8_t unit = p[kPrefixSize];
    const uint8_t* pdu = p + kHeaderSize;
    const size_t n = size - kHeaderSize;
    if (!awaited_ || awaited_->id != id || awaited_->unit != unit) {
        ++dropped_;
        return;
    }
    PutRtu(line, awaited_->address, pdu, n);
    awaited_.reset();
}

void MbapCodec::GiveUp() {
    ++dropped_;
    buffer_.clear();
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
