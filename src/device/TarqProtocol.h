#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DeviceTypes.h"

// The "Tarq_68" frame protocol: 0x68, length L, address, command, data, checksum.
// A frame is L + 1 bytes; the checksum is the low byte of the sum of offsets 1..L-1.

constexpr uint8_t kTarqHeader = 0x68;

// A request template as the sensor's documentation lists it (checksum as stored).
// Only the address (offset 2) and, for L = 5, the data byte (offset 4) vary.
struct TarqTemplate {
    std::array<uint8_t, 6> bytes;
    uint8_t length() const { return bytes[1]; }
};

extern const TarqTemplate kTarqReadAngles;
extern const TarqTemplate kTarqSaveSettings;
extern const TarqTemplate kTarqSetBaud;
extern const TarqTemplate kTarqSetAddress;
extern const TarqTemplate kTarqSetAddressZero;  // goes to address 0xFF with data 0
extern const TarqTemplate kTarqSetFrequency;
extern const TarqTemplate kTarqSetZero;  // data 1 = set zero, 0 = clear zero

// Sum of frame[1] .. frame[count - 2], low 8 bits: the byte expected at frame[count - 1].
uint8_t TarqChecksum(const uint8_t* frame, size_t count);

// Fills address and data into a copy of the template and computes the checksum.
std::vector<uint8_t> BuildTarqFrame(const TarqTemplate& tmpl, uint8_t address, uint8_t data = 0);

// Signed packed decimal: sign in the high nibble of p[0], five (Bcd3) or seven
// (Bcd4) digits. Nibbles above 9 are weighted like digits, as the sensors send them.
double DecodeBcd3(const uint8_t* p, float scale);
double DecodeBcd4(const uint8_t* p, float resolutionFactor);

// Reply layouts by length byte.
enum class TarqGroup { ThreeByte, FourByte, Acknowledge };

// Decodes a checked measurement frame of `count` bytes into `m`. Only fields whose
// bytes lie inside the frame are touched; others keep their previous values. The
// presence flags of `m` say which fields the frame carried.
void DecodeTarqThreeByteGroup(const uint8_t* frame, size_t count, bool hasTemperature,
                              float resolutionFactor, Measurement& m);
void DecodeTarqFourByteGroup(const uint8_t* frame, size_t count, bool hasTemperature,
                             float resolutionFactor, Measurement& m);
