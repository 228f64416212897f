#include "TarqProtocol.h"

const TarqTemplate kTarqReadAngles{{0x68, 0x04, 0x00, 0x04, 0x08, 0x00}};
const TarqTemplate kTarqSaveSettings{{0x68, 0x04, 0x00, 0x53, 0x57, 0x00}};
const TarqTemplate kTarqSetBaud{{0x68, 0x05, 0x00, 0x0B, 0x03, 0x13}};
const TarqTemplate kTarqSetAddress{{0x68, 0x05, 0x00, 0x0F, 0x01, 0x15}};
const TarqTemplate kTarqSetAddressZero{{0x68, 0x05, 0xFF, 0x0F, 0x00, 0x13}};
const TarqTemplate kTarqSetFrequency{{0x68, 0x05, 0x00, 0x0C, 0x00, 0x11}};
const TarqTemplate kTarqSetZero{{0x68, 0x05, 0x00, 0x05, 0x00, 0x0A}};

uint8_t TarqChecksum(const uint8_t* frame, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 1; i + 1 < count; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
    return sum;
}

std::vector<uint8_t> BuildTarqFrame(const TarqTemplate& tmpl, uint8_t address, uint8_t data) {
    const size_t size = static_cast<size_t>(tmpl.length()) + 1;
    std::vector<uint8_t> frame(tmpl.bytes.begin(), tmpl.bytes.begin() + size);
    frame[2] = address;
    if (tmpl.length() == 5) frame[4] = data;
    frame[size - 1] = TarqChecksum(frame.data(), size);
    return frame;
}

namespace {

double Signed(const uint8_t* p, long magnitude, float scale) {
    // magnitude x scale in double: the float scale widens exactly, so 0.01f
    // contributes 0.009999999776482582 as the sensor's tables assume.
    const double s = static_cast<double>(scale);
    return (p[0] & 0xF0) ? -(magnitude * s) : magnitude * s;
}

}  // namespace

double DecodeBcd3(const uint8_t* p, float scale) {
    const long magnitude = (p[0] & 0x0F) * 10000L + (p[1] >> 4) * 1000L + (p[1] & 0x0F) * 100L +
                           (p[2] >> 4) * 10L + (p[2] & 0x0F);
    return Signed(p, magnitude, scale);
}

double DecodeBcd4(const uint8_t* p, float resolutionFactor) {
    const long magnitude = (p[0] & 0x0F) * 1000000L + (p[1] >> 4) * 100000L +
                           (p[1] & 0x0F) * 10000L + (p[2] >> 4) * 1000L + (p[2] & 0x0F) * 100L +
                           (p[3] >> 4) * 10L + (p[3] & 0x0F);
    return Signed(p, magnitude, resolutionFactor);
}

void DecodeTarqThreeByteGroup(const uint8_t* frame, size_t count, bool hasTemperature,
                              float resolutionFactor, Measurement& m) {
    // A frame of an unusual length may end before a field: the buffer behind it
    // holds an earlier frame's bytes, which must not pass for a reading.
    const uint8_t command = count > 3 ? frame[3] : 0;
    const bool wantX = command == 0x81 || command == 0x84 || command == 0x94;
    const bool wantY = command == 0x82 || command == 0x84 || command == 0x94;
    // The field must end before the checksum byte at count - 1.
    auto inside = [count](size_t first, size_t size) { return first + size < count; };
    m.hasX = wantX && inside(4, 3);
    m.hasY = wantY && inside(7, 3);
    m.hasTemperature = hasTemperature && inside(10, 3);
    if (m.hasX) m.x = DecodeBcd3(frame + 4, resolutionFactor);
    if (m.hasY) m.y = DecodeBcd3(frame + 7, resolutionFactor);
    if (m.hasTemperature) m.temperature = DecodeBcd3(frame + 10, resolutionFactor);
}

void DecodeTarqFourByteGroup(const uint8_t* frame, size_t count, bool hasTemperature,
                             float resolutionFactor, Measurement& m) {
    auto inside = [count](size_t first, size_t size) { return first + size < count; };
    m.hasX = inside(4, 4);
    m.hasY = inside(8, 4);
    m.hasTemperature = inside(12, hasTemperature ? 4 : 3);
    if (m.hasX) m.x = DecodeBcd4(frame + 4, resolutionFactor);
    if (m.hasY) m.y = DecodeBcd4(frame + 8, resolutionFactor);
    if (!m.hasTemperature) return;
    if (hasTemperature) {
        m.temperature = DecodeBcd4(frame + 12, resolutionFactor);
    } else {
        // The three-byte temperature of L = 15 is one decimal coarser; the tenfold
        // scale is formed in float, giving 0.09999999403953552 by default.
        const float scale = resolutionFactor * 10.0f;
        m.temperature = DecodeBcd3(frame + 12, scale);
    }
}
