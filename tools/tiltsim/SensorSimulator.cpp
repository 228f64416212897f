#include "SensorSimulator.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "LineSettings.h"
#include "ModbusProtocol.h"
#include "TarqProtocol.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kResolution = 0.01;
constexpr size_t kGarbageFrameBytes = 17;  // as long as the longest measurement frame

// A request that stops half-way is forgotten after this much silence, as a
// sensor's receiver times out, so a torn request cannot swallow the next one.
constexpr double kStaleRequestSeconds = 0.5;

// Frame-protocol commands the sensor knows.
constexpr uint8_t kCmdReadAngles = 0x04;
constexpr uint8_t kCmdZero = 0x05;
constexpr uint8_t kCmdBaud = 0x0B;
constexpr uint8_t kCmdFrequency = 0x0C;
constexpr uint8_t kCmdAddress = 0x0F;
constexpr uint8_t kCmdSave = 0x53;
constexpr uint8_t kTarqBroadcast = 0xFF;
constexpr uint8_t kAckFailure = 0xFF;

constexpr uint8_t kModbusBroadcast = 0x00;
constexpr uint8_t kModbusWriteCoils = 0x0F;
constexpr uint8_t kModbusWriteRegisters = 0x10;
constexpr uint8_t kModbusIllegalFunction = 0x01;
constexpr uint8_t kModbusIllegalAddress = 0x02;
constexpr uint8_t kModbusIllegalValue = 0x03;

// Signed packed decimal of `digits` digits after a sign nibble (1 = negative),
// most significant first; the magnitude saturates rather than wrapping.
void AppendBcd(std::vector<uint8_t>& out, double value, double scale, int bytes) {
    const int digits = bytes * 2 - 1;
    long long limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    long long magnitude = std::min(std::llround(std::fabs(value) / scale), limit - 1);
    // No "-0": a value that rounds to nothing is sent as plain zero.
    const bool negative = value < 0 && magnitude != 0;
    // Nibbles from least significant; the last one is the sign.
    std::vector<uint8_t> nibbles;
    for (int i = 0; i < digits; ++i) {
        nibbles.push_back(static_cast<uint8_t>(magnitude % 10));
        magnitude /= 10;
    }
    nibbles.push_back(negative ? 1 : 0);
    for (int i = digits; i > 0; i -= 2) {
        out.push_back(static_cast<uint8_t>(nibbles[i] << 4 | nibbles[i - 1]));
    }
}

void AppendCrc(std::vector<uint8_t>& frame) {
    const uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

}  // namespace

SensorSimulator::SensorSimulator(const SimulatorOptions& options)
    : options_(options),
      address_(options.address),
      outputHz_(options.outputHz),
      baud_(options.baud),
      parity_(options.parity),
      noiseState_(options.noiseSeed ? options.noiseSeed : 1u) {}

TiltSample SensorSimulator::Signal(double t) {
    TiltSample s;
    s.x = 5.0 * std::sin(2.0 * kPi * t / 20.0);
    s.y = 3.0 * std::cos(2.0 * kPi * t / 30.0);
    s.temperature = 25.0 + 0.8 * std::sin(2.0 * kPi * t / 600.0);
    return s;
}

TiltSample SensorSimulator::Reading(double t) const {
    TiltSample s = Signal(t + options_.signalOffsetSeconds);
    if (zeroSet_) {
        s.x -= zero_.x;
        s.y -= zero_.y;
    }
    return s;
}

SensorSimulator::Frames SensorSimulator::Feed(const uint8_t* bytes, size_t count, double now) {
    Frames out;
    if (options_.silent || count == 0) return out;
    if (!rx_.empty() && now - lastRxSeconds_ > kStaleRequestSeconds) rx_.clear();
    lastRxSeconds_ = now;
    rx_.insert(rx_.end(), bytes, bytes + count);
    if (options_.protocol == SimProtocol::Tarq) {
        FeedTarq(now, out);
    } else {
        FeedModbus(now, out);
    }
    return out;
}

std::vector<uint8_t> SensorSimulator::OnBytes(const uint8_t* bytes, size_t count, double now) {
    std::vector<uint8_t> all;
    for (const auto& frame : Feed(bytes, count, now))
        all.insert(all.end(), frame.begin(), frame.end());
    return all;
}

std::vector<uint8_t> SensorSimulator::MakeMeasurementFrame(double now) {
    if (options_.floodByte >= 0)
        return std::vector<uint8_t>(kGarbageFrameBytes, static_cast<uint8_t>(options_.floodByte));
    if (options_.garbage) {
        std::vector<uint8_t> noise(kGarbageFrameBytes);
        for (uint8_t& b : noise) b = NextNoiseByte();
        return noise;
    }
    const bool spoil = NextMeasurementSpoilt();
    if (options_.protocol == SimProtocol::Tarq) return WithNoise(TarqMeasurement(now, spoil));
    return WithNoise(ModbusMeasurement(address_, now, spoil));
}

void SensorSimulator::FeedTarq(double now, Frames& out) {
    // Hunt for 68 L with a length the sensor understands, then let the checksum
    // decide; a false start costs one byte, not the request behind it.
    size_t i = 0;
    while (i < rx_.size()) {
        if (rx_[i] != kTarqHeader) {
            ++i;
            continue;
        }
        if (rx_.size() - i < 2) break;
        const uint8_t length = rx_[i + 1];
        if (length != 4 && length != 5) {
            ++i;
            continue;
        }
        if (rx_.size() - i < size_t{length} + 1) break;
        if (TarqChecksum(&rx_[i], length + 1u) != rx_[i + length]) {
            ++i;
            continue;
        }
        HandleTarq(&rx_[i], now, out);
        i += length + 1u;
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(i));
}

void SensorSimulator::HandleTarq(const uint8_t* frame, double now, Frames& out) {
    const uint8_t length = frame[1];
    const uint8_t to = frame[2];
    const uint8_t command = frame[3];
    const uint8_t data = frame[4];  // the checksum when length is 4; unused then
    if (to != address_ && to != kTarqBroadcast) return;
    const bool answer = to != kTarqBroadcast || options_.answerTarqBroadcast;
    const auto reply = [&](std::vector<uint8_t> f) {
        if (answer) out.push_back(WithNoise(std::move(f)));
    };

    const bool withData = length == 5;
    bool ok = false;
    switch (command) {
        case kCmdReadAngles:
            if (withData) return;
            reply(TarqMeasurement(now, NextMeasurementSpoilt()));
            return;
        case kCmdSave:
            if (withData) return;
            ++saveCount_;
            ok = true;
            break;
        case kCmdBaud:
            if (!withData) return;
            ok = data < std::size(kSupportedBauds);
            if (ok) baud_ = kSupportedBauds[data];
            break;
        case kCmdFrequency:
            if (!withData) return;
            ok = SetFrequency(data, kTarqFrequencies);
            break;
        case kCmdZero:
            if (!withData) return;
            ok = data <= 1;
            if (ok) SetZero(data == 1, now);
            break;
        case kCmdAddress: {
            if (!withData) return;
            ok = data != 0xFF;
            // Acknowledged from the old address; the new one counts from the next request.
            reply(TarqAcknowledge(command, ok));
            if (ok) address_ = data;
            return;
        }
        default:
            return;  // unknown commands go unanswered, as on the real sensors
    }
    reply(TarqAcknowledge(command, ok));
}

void SensorSimulator::FeedModbus(double now, Frames& out) {
    // Every request the sensor serves is eight bytes; writes of several coils or
    // registers carry a byte count and their data, and are refused whole. The CRC
    // separates a request from noise that happens to start with the address.
    size_t i = 0;
    while (i < rx_.size()) {
        const uint8_t to = rx_[i];
        const bool ours = to == address_ || to == previousAddress_ || to == kModbusBroadcast;
        if (!ours) {
            ++i;
            continue;
        }
        if (rx_.size() - i < 8) break;
        size_t length = 8;
        const uint8_t function = rx_[i + 1];
        if (ModbusCrc(&rx_[i], 8) != 0 &&
            (function == kModbusWriteCoils || function == kModbusWriteRegisters)) {
            length = 9u + rx_[i + 6];
            if (rx_.size() - i < length) break;
        }
        if (ModbusCrc(&rx_[i], length) != 0) {
            ++i;
            continue;
        }
        HandleModbus(&rx_[i], now, out);
        i += length;
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(i));
}

void SensorSimulator::HandleModbus(const uint8_t* frame, double now, Frames& out) {
    const uint8_t to = frame[0];
    const uint8_t function = frame[1];
    const unsigned reg = static_cast<unsigned>(frame[2] << 8 | frame[3]);
    const unsigned value = static_cast<unsigned>(frame[4] << 8 | frame[5]);
    // A broadcast is obeyed by every sensor on the bus, so none may answer it.
    const bool broadcast = to == kModbusBroadcast;
    const auto reply = [&](std::vector<uint8_t> f) {
        if (!broadcast) out.push_back(WithNoise(std::move(f)));
    };
    if (broadcast && function != kModbusWrite) return;
    // The master has switched over once it speaks to the new address.
    if (to == address_) previousAddress_ = -1;

    if (function != kModbusRead && function != kModbusWrite) {
        reply(ModbusException(to, function, kModbusIllegalFunction));
        return;
    }
    if (function == kModbusRead) {
        if (options_.registersAsAsked) {
            // A standard device checks the quantity first, then the range.
            if (value == 0) {
                reply(ModbusException(to, function, kModbusIllegalValue));
                return;
            }
            if (reg < kModbusFirstRegister ||
                reg + value > kModbusFirstRegister + kModbusRegisters) {
                reply(ModbusException(to, function, kModbusIllegalAddress));
                return;
            }
            readFirst_ = reg;
            readCount_ = value;
        } else if (reg != kModbusFirstRegister || (value != 4 && value != 5)) {
            // The sensor sends all ten data bytes whether four or five are asked for.
            reply(ModbusException(to, function, kModbusIllegalAddress));
            return;
        }
        reply(ModbusMeasurement(to, now, NextMeasurementSpoilt()));
        return;
    }

    bool known = true;
    bool ok = value <= 0xFF;
    int newAddress = -1;
    if (ok) {
        switch (reg) {
            case kModbusRegParity:
                ok = value <= 2;
                if (ok) parity_ = "ENO"[value];
                break;
            case kModbusRegZero:
                ok = value == 0x00 || value == 0xFF;
                if (ok) SetZero(value == 0xFF, now);
                break;
            case kModbusRegAddress:
                ok = value >= 1 && value <= 254;
                if (ok) newAddress = static_cast<int>(value);
                break;
            case kModbusRegBaud: {
                static constexpr uint32_t kByCode[] = {4800, 9600, 19200, 38400, 115200};
                ok = value >= 0xA0 && value <= 0xA4;
                if (ok) baud_ = kByCode[value - 0xA0];
                break;
            }
            case kModbusRegFrequency:
                ok = SetFrequency(static_cast<uint8_t>(value), kModbusFrequencies);
                break;
            default:
                known = false;
                break;
        }
    }
    if (!known) {
        reply(ModbusException(to, function, kModbusIllegalAddress));
        return;
    }
    if (!ok) {
        reply(ModbusException(to, function, kModbusIllegalValue));
        return;
    }
    reply(std::vector<uint8_t>(frame, frame + 8));
    if (newAddress >= 0 && newAddress != address_) {
        if (!options_.standardDevice) previousAddress_ = broadcast ? address_ : to;
        address_ = static_cast<uint8_t>(newAddress);
    }
}

std::vector<uint8_t> SensorSimulator::TarqMeasurement(double now, bool spoil) const {
    const TiltSample s = Reading(now);
    const uint8_t command = options_.replyCommand;
    // Single-axis replies keep the layout; the other axis reads as zero.
    const double x = command == 0x82 ? 0.0 : s.x;
    const double y = command == 0x81 ? 0.0 : s.y;
    const int layout = options_.layout;

    std::vector<uint8_t> frame{kTarqHeader, static_cast<uint8_t>(layout), address_, command};
    if (layout == 10 || layout == 13) {
        AppendBcd(frame, x, kResolution, 3);
        AppendBcd(frame, y, kResolution, 3);
        if (layout == 13) AppendBcd(frame, s.temperature, kResolution, 3);
    } else {
        AppendBcd(frame, x, kResolution, 4);
        AppendBcd(frame, y, kResolution, 4);
        if (layout == 15) {
            AppendBcd(frame, s.temperature, kResolution * 10, 3);
        } else {
            AppendBcd(frame, s.temperature, kResolution, 4);
            if (layout == 17) frame.push_back(0x00);
        }
    }
    frame.push_back(0);  // checksum
    frame.back() = TarqChecksum(frame.data(), frame.size());
    if (spoil) frame.back() = static_cast<uint8_t>(frame.back() ^ 0x5A);
    return frame;
}

std::vector<uint8_t> SensorSimulator::ModbusMeasurement(uint8_t replyAddress, double now,
                                                        bool spoil) const {
    const TiltSample s = Reading(now);
    // Registers 2 to 6, two bytes each: X, Y, the temperature.
    std::vector<uint8_t> registers;
    // Angles travel as unsigned counts of 0.01 degree from -90, least significant first.
    for (double angle : {s.x, s.y}) {
        const double counts = std::max(0.0, std::round((angle + 90.0) / kResolution));
        const auto raw = static_cast<uint32_t>(counts);
        for (int shift = 0; shift < 32; shift += 8)
            registers.push_back(static_cast<uint8_t>(raw >> shift));
    }
    const auto temperature = static_cast<int16_t>(std::lround(s.temperature / kResolution));
    const auto bits = static_cast<uint16_t>(temperature);
    registers.push_back(static_cast<uint8_t>(bits >> 8));
    registers.push_back(static_cast<uint8_t>(bits & 0xFF));

    size_t first = 0;
    size_t count = kModbusRegisters;
    if (options_.registersAsAsked) {
        first = readFirst_ - kModbusFirstRegister;
        count = readCount_;
    }
    std::vector<uint8_t> frame{replyAddress, kModbusRead, static_cast<uint8_t>(2 * count)};
    frame.insert(frame.end(), registers.begin() + static_cast<std::ptrdiff_t>(2 * first),
                 registers.begin() + static_cast<std::ptrdiff_t>(2 * (first + count)));
    AppendCrc(frame);
    if (spoil) frame[frame.size() - 2] = static_cast<uint8_t>(frame[frame.size() - 2] ^ 0x5A);
    return frame;
}

std::vector<uint8_t> SensorSimulator::TarqAcknowledge(uint8_t command, bool ok) const {
    std::vector<uint8_t> frame{kTarqHeader,
                               0x05,
                               address_,
                               static_cast<uint8_t>(command | 0x80),
                               ok ? uint8_t{0x00} : kAckFailure,
                               0x00};
    frame.back() = TarqChecksum(frame.data(), frame.size());
    return frame;
}

std::vector<uint8_t> SensorSimulator::ModbusException(uint8_t replyAddress, uint8_t function,
                                                      uint8_t code) const {
    std::vector<uint8_t> frame{replyAddress, static_cast<uint8_t>(function | 0x80), code};
    AppendCrc(frame);
    return frame;
}

bool SensorSimulator::NextMeasurementSpoilt() {
    ++measurementFrames_;
    const auto every = static_cast<uint64_t>(std::max(options_.badChecksumEvery, 0));
    return every != 0 && measurementFrames_ % every == 0;
}

std::vector<uint8_t> SensorSimulator::WithNoise(std::vector<uint8_t> frame) {
    if (options_.noiseBytes <= 0) return frame;
    std::vector<uint8_t> noisy;
    noisy.reserve(frame.size() + static_cast<size_t>(options_.noiseBytes));
    while (noisy.size() < static_cast<size_t>(options_.noiseBytes))
        noisy.push_back(NextNoiseByte());
    noisy.insert(noisy.end(), frame.begin(), frame.end());
    return noisy;
}

uint8_t SensorSimulator::NextNoiseByte() {
    // xorshift32: cheap, and the same seed gives the same line every run.
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    return static_cast<uint8_t>(noiseState_ >> 24);
}

bool SensorSimulator::SetFrequency(uint8_t value, const double* table) {
    // Bit 7 carries a rate in Hz instead of a list position.
    if (value & 0x80) {
        outputHz_ = value & 0x7F;
        return true;
    }
    if (value > 5) return false;
    outputHz_ = table[value];
    return true;
}

void SensorSimulator::SetZero(bool on, double now) {
    zeroSet_ = on;
    if (on) zero_ = Signal(now + options_.signalOffsetSeconds);
}
