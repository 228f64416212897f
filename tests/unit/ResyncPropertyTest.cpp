// Random line noise of every byte value and random splits around random
// sequences of valid replies: every intact reply must come out exactly once.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "TarqProtocol.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Key = std::pair<double, double>;

struct Line {
    Bytes bytes;
    // Offsets at which a request goes out, ascending.
    std::vector<size_t> requests;
    std::map<Key, int> expected;  // decoded (x, y) -> how many replies carry it
    int acknowledgements = 0;
};

void PutBcd(Bytes& f, uint32_t value, int bytes) {
    // Sign nibble 0, then decimal digits, most significant first.
    std::vector<uint8_t> digits(static_cast<size_t>(bytes) * 2 - 1);
    for (size_t i = digits.size(); i-- > 0; value /= 10) digits[i] = value % 10;
    f.push_back(digits[0]);
    for (size_t i = 1; i < digits.size(); i += 2)
        f.push_back(static_cast<uint8_t>(digits[i] << 4 | digits[i + 1]));
}

Bytes TarqReply(int layout, uint32_t id) {
    Bytes f{kTarqHeader, static_cast<uint8_t>(layout), 0x00, 0x84};
    const int width = layout <= 13 ? 3 : 4;
    PutBcd(f, id, width);
    PutBcd(f, id + 7, width);
    if (layout == 13) PutBcd(f, 2500, 3);
    if (layout == 15) PutBcd(f, 250, 3);
    if (layout >= 16) PutBcd(f, 2500, 4);
    if (layout == 17) f.push_back(0);
    f.push_back(0);
    f.back() = TarqChecksum(f.data(), f.size());
    return f;
}

Bytes ModbusReply(uint8_t address, uint8_t n, uint32_t id) {
    Bytes f{address, kModbusRead, n};
    for (uint32_t raw : {id, id + 7})
        for (int shift = 0; shift < 32; shift += 8) f.push_back(static_cast<uint8_t>(raw >> shift));
    f.push_back(0x09);
    f.push_back(0xC4);
    f.resize(3 + n);
    const uint16_t crc = ModbusCrc(f.data(), f.size());
    f.push_back(static_cast<uint8_t>(crc & 0xFF));
    f.push_back(static_cast<uint8_t>(crc >> 8));
    return f;
}

Key Decoded(const Bytes& frame, bool modbus) {
    DecodeParameters params;
    Measurement m;
    if (modbus)
        DecodeModbusRead(frame.data(), frame.size(), params, m);
    else if (frame[1] <= 13)
        DecodeTarqThreeByteGroup(frame.data(), frame.size(), frame[1] == 13,
                                 params.ResolutionFactor, m);
    else
        DecodeTarqFourByteGroup(frame.data(), frame.size(), frame[1] != 15, params.ResolutionFactor,
                                m);
    return {m.x, m.y};
}

// Noise of every value, 0x68 and the address included, before each reply and
// after the last; requests fall in the gaps, and for the frame protocol (whose
// sensors send by themselves) anywhere at all.
Line MakeLine(bool modbus, uint32_t seed, int replies) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Line line;
    auto noise = [&] {
        const int n = pick(0, 8);
        for (int i = 0; i < n; ++i) line.bytes.push_back(static_cast<uint8_t>(pick(0, 255)));
    };
    static const int kLayouts[] = {10, 13, 15, 16, 17};
    for (int r = 0; r < replies; ++r) {
        const size_t gapStart = line.bytes.size();
        noise();
        if (pick(0, 1))
            line.requests.push_back(static_cast<size_t>(
                pick(static_cast<int>(gapStart), static_cast<int>(line.bytes.size()))));
        const auto id = static_cast<uint32_t>(100 + r * 3);
        Bytes frame;
        if (!modbus && pick(0, 9) == 0) {
            frame = BuildTarqFrame(kTarqSetZero, 0, 0);
            frame[1] = 5;
            frame[3] = 0x85;
            frame.back() = TarqChecksum(frame.data(), frame.size());
            ++line.acknowledgements;
        } else if (modbus && pick(0, 9) == 0) {
            frame = BuildModbusWrite(1, kModbusRegZero, 0xFF);
            ++line.acknowledgements;
        } else {
            frame = modbus ? ModbusReply(1, pick(0, 1) ? 10 : 8, id)
                           : TarqReply(kLayouts[pick(0, 4)], id);
            ++line.expected[Decoded(frame, modbus)];
        }
        const size_t frameStart = line.bytes.size();
        line.bytes.insert(line.bytes.end(), frame.begin(), frame.end());
        if (!modbus && pick(0, 3) == 0)
            line.requests.push_back(static_cast<size_t>(
                pick(static_cast<int>(frameStart), static_cast<int>(line.bytes.size()))));
    }
    noise();
    return line;
}

struct Outcome {
    std::map<Key, int> decoded;
    int acknowledgements = 0;
};

class NullQueue : public WriteQueue {
public:
    void QueueWrite(const uint8_t*, uint32_t) override {}
};

Outcome Run(const Line& line, bool modbus, uint32_t seed) {
    DecodeParameters params;
    Outcome out;
    ReceiveHandlers handlers;
    handlers.DeliverMeasurement = [&out](const Measurement& m) { ++out.decoded[{m.x, m.y}]; };
    handlers.OnTarqAcknowledge = [&out](const uint8_t*, size_t) { ++out.acknowledgements; };
    handlers.OnModbusEcho = [&out](const uint8_t*, size_t) { ++out.acknowledgements; };
    NullQueue queue;
    ReceivePath path(params, handlers);
    path.SetWriteQueue(&queue);
    path.SetLinkOpen(true);
    path.SetDeviceAddress(modbus ? 1 : 0);
    const Bytes request = modbus ? BuildModbusRead(1) : BuildTarqFrame(kTarqReadAngles, 0);

    // Blocks end at random points and at every request.
    std::mt19937 rng(seed ^ 0x9E3779B9u);
    size_t at = 0;
    size_t nextRequest = 0;
    while (at < line.bytes.size()) {
        while (nextRequest < line.requests.size() && line.requests[nextRequest] <= at) {
            path.OnTxFrame(request.data(), request.size());
            ++nextRequest;
        }
        size_t end = at + std::uniform_int_distribution<size_t>(1, 40)(rng);
        if (nextRequest < line.requests.size()) end = std::min(end, line.requests[nextRequest]);
        end = std::min(end, line.bytes.size());
        if (modbus)
            path.OnRxModbus(line.bytes.data() + at, end - at);
        else
            path.OnRxTarq(line.bytes.data() + at, end - at);
        at = end;
    }
    return out;
}

void ExpectEveryReplyOnce(bool modbus) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const Line line = MakeLine(modbus, seed, 250);
        const Outcome out = Run(line, modbus, seed);
        int lost = 0;
        int repeated = 0;
        for (const auto& [key, count] : line.expected) {
            const auto it = out.decoded.find(key);
            const int got = it == out.decoded.end() ? 0 : it->second;
            if (got < count) lost += count - got;
            if (got > count) repeated += got - count;
        }
        EXPECT_EQ(lost, 0);
        EXPECT_EQ(repeated, 0);
        EXPECT_GE(out.acknowledgements, line.acknowledgements);
    }
}

TEST(ResyncProperty, EveryIntactTarqReplyAmidNoiseIsDecodedExactlyOnce) {
    ExpectEveryReplyOnce(false);
}

TEST(ResyncProperty, EveryIntactModbusReplyAmidNoiseIsDecodedExactlyOnce) {
    ExpectEveryReplyOnce(true);
}

}  // namespace
