#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Modbus TCP's framing, the same for a client and a server: an MBAP header
// (transaction id, protocol 0, length, each two bytes high first, then the
// unit id) before the PDU, and no CRC.
namespace mbap {

constexpr size_t kPrefixSize = 6;                // up to and including the length
constexpr size_t kHeaderSize = kPrefixSize + 1;  // and the unit id

uint16_t Word(const uint8_t* p);
void PutAdu(std::vector<uint8_t>& wire, uint16_t id, uint8_t unit, const uint8_t* pdu, size_t n);
// Takes the whole ADUs off the front of `buffer`, each handed to `take` with
// its size; a partial one stays for the next bytes. False, with `buffer`
// emptied, when the front holds no MBAP header: nothing after it can be framed.
bool TakeAdus(std::vector<uint8_t>& buffer,
              const std::function<void(const uint8_t* adu, size_t size)>& take);

}  // namespace mbap
