#include "ModbusProtocol.h"

#include <array>
#include <cmath>

namespace {

// The high- and low-order tables of the Modbus serial-line CRC, generated once
// at compile time from the reflected polynomial 0xA001.
struct CrcTables {
    std::array<uint8_t, 256> high{};
    std::array<uint8_t, 256> low{};
};

constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        // The byte-wise update is crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF]; split
        // into the two bytes that the classic two-table form keeps separately.
        t.high[i] = static_cast<uint8_t>(crc & 0xFF);
        t.low[i] = static_cast<uint8_t>(crc >> 8);
    }
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

}  // namespace

uint16_t ModbusCrc(const uint8_t* bytes, size_t count) {
    uint8_t h = 0xFF;  // first byte on the wire
    uint8_t l = 0xFF;
    for (size_t n = 0; n < count; ++n) {
        const uint8_t i = static_cast<uint8_t>(bytes[n] ^ h);
        h = static_cast<uint8_t>(l ^ kCrc.high[i]);
        l = kCrc.low[i];
    }
    return static_cast<uint16_t>(l << 8 | h);
}

namespace {

std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
    const uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

}  // namespace

std::vector<uint8_t> BuildModbusRead(uint8_t address, uint8_t registers) {
    return WithCrc({address, kModbusRead, 0x00, 0x02, 0x00, registers});
}

std::vector<uint8_t> BuildModbusWrite(uint8_t address, uint8_t reg, uint8_t value) {
    return WithCrc({address, kModbusWrite, 0x00, reg, 0x00, value});
}

void DecodeModbusRead(const uint8_t* frame, size_t count, const DecodeParameters& params,
                      Measurement& m) {
    m.hasX = m.hasY = m.hasTemperature = false;
    if (count < 5) return;
    // Only the byte count says how much data the sensor sent: a standard device
    // answering the four registers asked for sends 8 bytes and no temperature,
    // and offsets 11..12 then hold its CRC.
    const size_t dataBytes = frame[2];
    if (dataBytes + 5 > count) return;
    // X and Y come as a pair of 32-bit counts; fewer than 8 bytes hold not one.
    m.hasX = m.hasY = dataBytes >= 8;
    m.hasTemperature = dataBytes >= 10;
    auto u32 = [frame](size_t at) {
        return static_cast<uint32_t>(frame[at]) | static_cast<uint32_t>(frame[at + 1]) << 8 |
               static_cast<uint32_t>(frame[at + 2]) << 16 |
               static_cast<uint32_t>(frame[at + 3]) << 24;
    };
    if (m.hasX) {
        // The raw count goes through float first: the sensor's scaling is single precision.
        const float x = static_cast<float>(u32(3)) * params.ResolutionFactor;
        const float y = static_cast<float>(u32(7)) * params.ResolutionFactor;
        m.x = static_cast<double>(x) - static_cast<double>(params.XRangeOffset);
        m.y = static_cast<double>(y) - static_cast<double>(params.YRangeOffset);
    }
    if (m.hasTemperature) {
        const int16_t raw = static_cast<int16_t>(static_cast<uint16_t>(frame[11] << 8 | frame[12]));
        m.temperature = raw * 0.01;
    }
}

namespace {

bool AngleWithin(double angle, float rangeOffset, float resolution) {
    // A count rounded at the range's end lands up to half a step beyond it.
    const double range = rangeOffset > 0.0f ? double{rangeOffset} : 180.0;
    return std::fabs(angle) <= range + 0.5 * double{resolution};
}

}  // namespace

bool ModbusReadingPlausible(const Measurement& m, const DecodeParameters& params) {
    if (m.hasX && !AngleWithin(m.x, params.XRangeOffset, params.ResolutionFactor)) return false;
    if (m.hasY && !AngleWithin(m.y, params.YRangeOffset, params.ResolutionFactor)) return false;
    return !m.hasTemperature || (m.temperature >= kModbusLowestTemperature &&
                                 m.temperature <= kModbusHighestTemperature);
}
