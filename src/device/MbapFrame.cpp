#include "MbapFrame.h"

namespace mbap {

namespace {

// The length counts the unit id and the PDU: a function code at least, a
// serial line's 253-byte PDU at most.
constexpr size_t kMinLength = 2;
constexpr size_t kMaxLength = 254;

void PutWord(std::vector<uint8_t>& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

}  // namespace

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void PutAdu(std::vector<uint8_t>& wire, uint16_t id, uint8_t unit, const uint8_t* pdu, size_t n) {
    PutWord(wire, id);
    PutWord(wire, 0);
    PutWord(wire, n + 1);
    wire.push_back(unit);
    wire.insert(wire.end(), pdu, pdu + n);
}

bool TakeAdus(std::vector<uint8_t>& buffer,
              const std::function<void(const uint8_t* adu, size_t size)>& take) {
    size_t used = 0;
    while (buffer.size() - used >= kHeaderSize) {
        const uint8_t* p = buffer.data() + used;
        const size_t length = Word(p + 4);
        if (Word(p + 2) != 0 || length < kMinLength || length > kMaxLength) {
            buffer.clear();
            return false;
        }
        const size_t size = kPrefixSize + length;
        if (buffer.size() - used < size) break;
        take(p, size);
        used += size;
    }
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(used));
    return true;
}

}  // namespace mbap
