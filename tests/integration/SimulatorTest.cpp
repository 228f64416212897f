// The simulated sensor, in-process: what it answers, byte for byte, and whether the
// project's own decoders read its replies back as the signal it claims to send.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "LineMatch.h"
#include "ModbusProtocol.h"
#include "SensorSimulator.h"
#include "TarqProtocol.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Half a resolution step, plus room for the single-precision scaling.
constexpr double kTolerance = 0.0051;
// Times where both axes are positive, and where both are negative.
constexpr double kTimes[] = {3.0, 12.0};

Bytes Send(SensorSimulator& sim, const Bytes& request, double now = 0.0) {
    return sim.OnBytes(request.data(), request.size(), now);
}

SimulatorOptions TarqSensor(int layout = 13, uint8_t command = 0x84, uint8_t address = 0) {
    SimulatorOptions o;
    o.layout = layout;
    o.replyCommand = command;
    o.address = address;
    return o;
}

SimulatorOptions ModbusSensor(uint8_t address = 1, bool standard = false) {
    SimulatorOptions o;
    o.protocol = SimProtocol::Modbus;
    o.address = address;
    o.standardDevice = standard;
    return o;
}

// A client's raw terminal at `speed` with the given parity flags.
termios ClientLine(speed_t speed, tcflag_t parityFlags = 0) {
    termios tio{};
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    tio.c_cflag |= parityFlags;
    return tio;
}

bool ChecksumHolds(const Bytes& f) {
    return TarqChecksum(f.data(), f.size()) == f.back();
}
bool CrcHolds(const Bytes& f) {
    return ModbusCrc(f.data(), f.size()) == 0;
}
Bytes TarqRead(uint8_t address) {
    return BuildTarqFrame(kTarqReadAngles, address);
}

Bytes WithCrc(Bytes frame) {
    const uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(uint8_t(crc & 0xFF));
    frame.push_back(uint8_t(crc >> 8));
    return frame;
}

TEST(TarqSimulator, EveryLayoutCarriesTheSignalWhereTheDecodersLook) {
    for (int layout : {10, 13, 15, 16, 17}) {
        for (double t : kTimes) {
            SCOPED_TRACE(testing::Message() << "L=" << layout << " t=" << t);
            SensorSimulator sim(TarqSensor(layout));
            const Bytes f = Send(sim, TarqRead(0), t);
            const TiltSample want = sim.Reading(t);
            ASSERT_EQ(f.size(), static_cast<size_t>(layout) + 1);
            EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), (Bytes{0x68, uint8_t(layout), 0x00, 0x84}));
            EXPECT_TRUE(ChecksumHolds(f));
            if (layout <= 13) {
                EXPECT_NEAR(DecodeBcd3(&f[4], 0.01f), want.x, kTolerance);
                EXPECT_NEAR(DecodeBcd3(&f[7], 0.01f), want.y, kTolerance);
                if (layout == 13) {
                    EXPECT_NEAR(DecodeBcd3(&f[10], 0.01f), want.temperature, kTolerance);
                }
            } else {
                EXPECT_NEAR(DecodeBcd4(&f[4], 0.01f), want.x, kTolerance);
                EXPECT_NEAR(DecodeBcd4(&f[8], 0.01f), want.y, kTolerance);
                if (layout == 15) {
                    EXPECT_NEAR(DecodeBcd3(&f[12], 0.1f), want.temperature, 0.051);
                } else {
                    EXPECT_NEAR(DecodeBcd4(&f[12], 0.01f), want.temperature, kTolerance);
                }
                if (layout == 17) {
                    EXPECT_EQ(f[16], 0x00);
                }
            }
        }
    }
}

TEST(TarqSimulator, ReplyCommandSelectsTheAxesThatCarryValues) {
    const double t = 12.0;  // both axes clearly non-zero
    for (uint8_t command : {0x81, 0x82, 0x84, 0x94}) {
        SCOPED_TRACE(int(command));
        SensorSimulator sim(TarqSensor(13, command));
        const Bytes f = Send(sim, TarqRead(0), t);
        ASSERT_EQ(f.size(), 14u);
        EXPECT_EQ(f[3], command);
        const bool x = command != 0x82;
        const bool y = command != 0x81;
        EXPECT_NEAR(DecodeBcd3(&f[4], 0.01f), x ? sim.Reading(t).x : 0.0, kTolerance);
        EXPECT_NEAR(DecodeBcd3(&f[7], 0.01f), y ? sim.Reading(t).y : 0.0, kTolerance);
    }
}

TEST(TarqSimulator, AnswersItsOwnAddressAndBroadcastOnly) {
    SensorSimulator sim(TarqSensor(13, 0x84, 5));
    EXPECT_EQ(Send(sim, TarqRead(5)).at(2), 5);
    EXPECT_EQ(Send(sim, TarqRead(0xFF)).at(2), 5);
    EXPECT_TRUE(Send(sim, TarqRead(0)).empty());
    Bytes corrupt = TarqRead(5);
    corrupt.back() ^= 1;
    EXPECT_TRUE(Send(sim, corrupt).empty());
}

TEST(TarqSimulator, RequestsAreAssembledFromAnyChunkingAndGarbageIsSkipped) {
    SensorSimulator sim(TarqSensor());
    const Bytes read = TarqRead(0);
    for (size_t i = 0; i + 1 < read.size(); ++i) EXPECT_TRUE(Send(sim, {read[i]}).empty());
    EXPECT_EQ(Send(sim, {read.back()}).size(), 14u);

    // A false header with a plausible length, then two requests in one block.
    Bytes block{0x00, 0x68, 0x04, 0x68, 0x68};
    block.insert(block.end(), read.begin(), read.end());
    block.insert(block.end(), read.begin(), read.end());
    EXPECT_EQ(sim.Feed(block.data(), block.size(), 0.0).size(), 2u);

    // A torn request is forgotten after a pause; these bytes would otherwise
    // complete, checksum and all, with the head of the next request and swallow it.
    Send(sim, {0x68, 0x05, 0x00, 0x97}, 1.0);
    EXPECT_EQ(Send(sim, read, 2.0).size(), 14u);
}

TEST(TarqSimulator, SettingsAreAcknowledgedByteExactAndApplied) {
    SensorSimulator sim(TarqSensor());
    const struct {
        Bytes request, ack;
    } cases[] = {
        {BuildTarqFrame(kTarqSetZero, 0, 1), {0x68, 0x05, 0x00, 0x85, 0x00, 0x8A}},
        {BuildTarqFrame(kTarqSetZero, 0, 0), {0x68, 0x05, 0x00, 0x85, 0x00, 0x8A}},
        {BuildTarqFrame(kTarqSetZero, 0, 2), {0x68, 0x05, 0x00, 0x85, 0xFF, 0x89}},
        {BuildTarqFrame(kTarqSaveSettings, 0), {0x68, 0x05, 0x00, 0xD3, 0x00, 0xD8}},
        {BuildTarqFrame(kTarqSetBaud, 0, 3), {0x68, 0x05, 0x00, 0x8B, 0x00, 0x90}},
        {BuildTarqFrame(kTarqSetBaud, 0, 7), {0x68, 0x05, 0x00, 0x8B, 0xFF, 0x8F}},
        {BuildTarqFrame(kTarqSetFrequency, 0, 2), {0x68, 0x05, 0x00, 0x8C, 0x00, 0x91}},
        {BuildTarqFrame(kTarqSetFrequency, 0, 6), {0x68, 0x05, 0x00, 0x8C, 0xFF, 0x90}},
    };
    for (const auto& c : cases) EXPECT_EQ(Send(sim, c.request), c.ack);
    EXPECT_EQ(sim.SaveCount(), 1);
    EXPECT_EQ(sim.Baud(), 19200u);
    EXPECT_EQ(sim.OutputHz(), 15.0);

    const double tarqHz[] = {0, 5, 15, 25, 35, 50};
    for (uint8_t pos = 0; pos < 6; ++pos) {
        Send(sim, BuildTarqFrame(kTarqSetFrequency, 0, pos));
        EXPECT_EQ(sim.OutputHz(), tarqHz[pos]);
    }
    Send(sim, BuildTarqFrame(kTarqSetFrequency, 0, 0x80 | 20));  // a rate, not a position
    EXPECT_EQ(sim.OutputHz(), 20.0);
}

TEST(TarqSimulator, NewAddressTakesEffectAfterTheAcknowledgement) {
    SensorSimulator sim(TarqSensor());
    EXPECT_EQ(Send(sim, BuildTarqFrame(kTarqSetAddress, 0, 0xFF)),
              (Bytes{0x68, 0x05, 0x00, 0x8F, 0xFF, 0x93}));
    EXPECT_EQ(Send(sim, BuildTarqFrame(kTarqSetAddress, 0, 7)),
              (Bytes{0x68, 0x05, 0x00, 0x8F, 0x00, 0x94}));
    EXPECT_TRUE(Send(sim, TarqRead(0)).empty());
    EXPECT_EQ(Send(sim, TarqRead(7)).at(2), 7);
    // Back to address 0: sent to the broadcast address, acknowledged from 7.
    EXPECT_EQ(Send(sim, Bytes{0x68, 0x05, 0xFF, 0x0F, 0x00, 0x13}),
              (Bytes{0x68, 0x05, 0x07, 0x8F, 0x00, 0x9B}));
    EXPECT_EQ(sim.Address(), 0);
}

TEST(TarqSimulator, ZeroPointIsSubtractedUntilCleared) {
    SensorSimulator sim(TarqSensor());
    Send(sim, BuildTarqFrame(kTarqSetZero, 0, 1), 12.0);
    Bytes f = Send(sim, TarqRead(0), 12.0);
    EXPECT_NEAR(DecodeBcd3(&f[4], 0.01f), 0.0, kTolerance);
    EXPECT_NEAR(DecodeBcd3(&f[7], 0.01f), 0.0, kTolerance);
    f = Send(sim, TarqRead(0), 15.0);
    const TiltSample s15 = SensorSimulator::Signal(15.0), s12 = SensorSimulator::Signal(12.0);
    EXPECT_NEAR(DecodeBcd3(&f[4], 0.01f), s15.x - s12.x, kTolerance);
    EXPECT_NEAR(DecodeBcd3(&f[10], 0.01f), s15.temperature, kTolerance);
    Send(sim, BuildTarqFrame(kTarqSetZero, 0, 0), 15.0);
    f = Send(sim, TarqRead(0), 15.0);
    EXPECT_NEAR(DecodeBcd3(&f[4], 0.01f), s15.x, kTolerance);
}

TEST(ModbusSimulator, ReadReplyDecodesToTheSignal) {
    for (double t : kTimes) {
        SensorSimulator sim(ModbusSensor());
        const Bytes f = Send(sim, {0x01, 0x03, 0x00, 0x02, 0x00, 0x04, 0xE5, 0xC9}, t);
        ASSERT_EQ(f.size(), 15u);
        EXPECT_EQ(Bytes(f.begin(), f.begin() + 3), (Bytes{0x01, 0x03, 0x0A}));
        EXPECT_TRUE(CrcHolds(f));
        Measurement m;
        DecodeModbusRead(f.data(), f.size(), DecodeParameters{}, m);
        EXPECT_NEAR(m.x, sim.Reading(t).x, kTolerance);
        EXPECT_NEAR(m.y, sim.Reading(t).y, kTolerance);
        EXPECT_NEAR(m.temperature, sim.Reading(t).temperature, kTolerance);
    }
}

TEST(ModbusSimulator, StandardReadOfFiveRegistersGetsTheSameTenDataBytes) {
    // A standard master asks for X (registers 2-3), Y (4-5) and the temperature (6).
    SensorSimulator sim(ModbusSensor(1, true));
    const Bytes five = Send(sim, WithCrc({0x01, 0x03, 0x00, 0x02, 0x00, 0x05}), 12.0);
    const Bytes four = Send(sim, BuildModbusRead(1), 12.0);
    ASSERT_EQ(five.size(), 15u);
    EXPECT_EQ(five[2], 10);
    EXPECT_EQ(five, four);
    Measurement m;
    DecodeModbusRead(five.data(), five.size(), DecodeParameters{}, m);
    EXPECT_NEAR(m.x, sim.Reading(12.0).x, kTolerance);
    EXPECT_NEAR(m.y, sim.Reading(12.0).y, kTolerance);
    EXPECT_NEAR(m.temperature, sim.Reading(12.0).temperature, kTolerance);
}

TEST(ModbusSimulator, AnswersOnlyWholeRequestsToItsOwnAddress) {
    SensorSimulator sim(ModbusSensor(1));
    EXPECT_TRUE(Send(sim, BuildModbusRead(2)).empty());
    Bytes corrupt = BuildModbusRead(1);
    corrupt[3] ^= 1;
    EXPECT_TRUE(Send(sim, corrupt).empty());
    const Bytes read = BuildModbusRead(1);
    for (size_t i = 0; i + 1 < read.size(); ++i) EXPECT_TRUE(Send(sim, {read[i]}).empty());
    EXPECT_EQ(Send(sim, {read.back()}).size(), 15u);
}

TEST(ModbusSimulator, WritesAreEchoedByteExactAndBadOnesRefused) {
    SensorSimulator sim(ModbusSensor());
    const Bytes writes[] = {
        {0x01, 0x06, 0x00, 0x10, 0x00, 0xFF, 0xC8, 0x4F},  // set zero
        {0x01, 0x06, 0x00, 0x10, 0x00, 0x00, 0x88, 0x0F},  // clear zero
        {0x01, 0x06, 0x00, 0x12, 0x00, 0xA1, 0xE8, 0x77},  // 9600
        {0x01, 0x06, 0x00, 0x13, 0x00, 0x01, 0xB9, 0xCF},  // second frequency
        {0x01, 0x06, 0x00, 0x09, 0x00, 0x01, 0x98, 0x08},  // no parity
        BuildModbusWrite(1, kModbusRegBaud, 0xA3),         // 38400
        BuildModbusWrite(1, kModbusRegParity, 2),          // odd parity
    };
    for (const Bytes& w : writes) EXPECT_EQ(Send(sim, w), w);
    EXPECT_EQ(sim.Baud(), 38400u);
    EXPECT_EQ(sim.OutputHz(), 10.0);
    EXPECT_EQ(sim.Parity(), 'O');

    const double modbusHz[] = {0, 10, 25, 50, 5, 15};
    for (uint8_t pos = 0; pos < 6; ++pos) {
        Send(sim, BuildModbusWrite(1, kModbusRegFrequency, pos));
        EXPECT_EQ(sim.OutputHz(), modbusHz[pos]);
    }
    // Exceptions: a value the register refuses, an unknown register, a read elsewhere.
    EXPECT_EQ(Send(sim, BuildModbusWrite(1, kModbusRegBaud, 0xB0)), WithCrc({0x01, 0x86, 0x03}));
    EXPECT_EQ(Send(sim, BuildModbusWrite(1, 0x20, 0x01)), WithCrc({0x01, 0x86, 0x02}));
    const Bytes readElsewhere = WithCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x04});
    EXPECT_EQ(Send(sim, readElsewhere), WithCrc({0x01, 0x83, 0x02}));
    EXPECT_EQ(sim.Baud(), 38400u);
}

TEST(ModbusSimulator, NewAddressTakesOverOnceTheMasterUsesIt) {
    SensorSimulator sim(ModbusSensor(1));
    EXPECT_EQ(Send(sim, BuildModbusWrite(1, kModbusRegAddress, 0)), WithCrc({0x01, 0x86, 0x03}));
    const Bytes setAddress{0x01, 0x06, 0x00, 0x11, 0x00, 0x02, 0x58, 0x0E};
    EXPECT_EQ(Send(sim, setAddress), setAddress);
    // The master confirms with a repeated write to the old address before switching.
    EXPECT_EQ(Send(sim, setAddress), setAddress);
    EXPECT_EQ(Send(sim, BuildModbusRead(2)).at(0), 2);
    EXPECT_TRUE(Send(sim, BuildModbusRead(1)).empty());
    EXPECT_EQ(sim.Address(), 2);
}

TEST(ModbusSimulator, StandardDeviceTakesNewAddressAtOnce) {
    SensorSimulator sim(ModbusSensor(1, true));
    const Bytes setAddress = BuildModbusWrite(1, kModbusRegAddress, 2);
    EXPECT_EQ(Send(sim, setAddress), setAddress);  // the echo still comes from 1
    EXPECT_EQ(sim.Address(), 2);
    // Even the master's confirming repeat to the old address goes unheard.
    EXPECT_TRUE(Send(sim, setAddress).empty());
    EXPECT_TRUE(Send(sim, BuildModbusRead(1)).empty());
    const Bytes reply = Send(sim, BuildModbusRead(2));
    ASSERT_EQ(reply.size(), 15u);
    EXPECT_EQ(reply[0], 2);
    EXPECT_TRUE(CrcHolds(reply));
}

TEST(ModbusSimulator, StandardDeviceTakesNewBaudAndParityAtOnce) {
    SensorSimulator sim(ModbusSensor(1, true));
    EXPECT_TRUE(LineMatches(ClientLine(B9600), sim.Baud(), sim.Parity()));
    const Bytes setBaud = BuildModbusWrite(1, kModbusRegBaud, 0xA2);
    EXPECT_EQ(Send(sim, setBaud), setBaud);
    EXPECT_EQ(sim.Baud(), 19200u);
    // A client still at the old speed no longer hears the sensor; one that follows does.
    EXPECT_FALSE(LineMatches(ClientLine(B9600), sim.Baud(), sim.Parity()));
    EXPECT_TRUE(LineMatches(ClientLine(B19200), sim.Baud(), sim.Parity()));

    const Bytes setOdd = BuildModbusWrite(1, kModbusRegParity, 2);
    EXPECT_EQ(Send(sim, setOdd), setOdd);
    EXPECT_EQ(sim.Parity(), 'O');
    EXPECT_FALSE(LineMatches(ClientLine(B19200), sim.Baud(), sim.Parity()));
    EXPECT_TRUE(LineMatches(ClientLine(B19200, PARENB | PARODD), sim.Baud(), sim.Parity()));

    const Bytes setEven = BuildModbusWrite(1, kModbusRegParity, 0);
    EXPECT_EQ(Send(sim, setEven), setEven);
    EXPECT_EQ(sim.Parity(), 'E');
    EXPECT_TRUE(LineMatches(ClientLine(B19200, PARENB), sim.Baud(), sim.Parity()));
}

TEST(ModbusSimulator, StandardDeviceStartsOnTheLineItIsGiven) {
    SimulatorOptions o = ModbusSensor(1, true);
    o.baud = 38400;
    o.parity = 'E';
    SensorSimulator sim(o);
    EXPECT_EQ(sim.Baud(), 38400u);
    EXPECT_EQ(sim.Parity(), 'E');
}

TEST(ModbusSimulator, DefaultModeStillAnswersTheOldAddressAfterAChange) {
    SensorSimulator sim(ModbusSensor(1));
    const Bytes setAddress = BuildModbusWrite(1, kModbusRegAddress, 2);
    EXPECT_EQ(Send(sim, setAddress), setAddress);
    EXPECT_EQ(sim.Address(), 2);
    const Bytes old = Send(sim, BuildModbusRead(1));
    ASSERT_EQ(old.size(), 15u);
    EXPECT_EQ(old[0], 1);
    EXPECT_EQ(Send(sim, BuildModbusRead(2)).at(0), 2);
    // Once the master has used the new address, the old one is let go.
    EXPECT_TRUE(Send(sim, BuildModbusRead(1)).empty());
}

TEST(ModbusSimulator, BroadcastWriteIsAppliedWithoutReplyInBothModes) {
    for (bool standard : {false, true}) {
        SCOPED_TRACE(standard ? "standard" : "default");
        SensorSimulator sim(ModbusSensor(1, standard));
        EXPECT_TRUE(Send(sim, BuildModbusWrite(0, kModbusRegFrequency, 2)).empty());
        EXPECT_EQ(sim.OutputHz(), 25.0);
        EXPECT_TRUE(Send(sim, BuildModbusWrite(0, kModbusRegBaud, 0xA3)).empty());
        EXPECT_EQ(sim.Baud(), 38400u);
        EXPECT_TRUE(Send(sim, BuildModbusWrite(0, kModbusRegZero, 0xFF), 12.0).empty());
        EXPECT_TRUE(sim.ZeroSet());
        // A refused value is neither applied nor answered with an exception.
        EXPECT_TRUE(Send(sim, BuildModbusWrite(0, kModbusRegBaud, 0xB0)).empty());
        EXPECT_EQ(sim.Baud(), 38400u);
        // Reads and unserved functions are never taken from the broadcast address.
        EXPECT_TRUE(Send(sim, WithCrc({0x00, 0x03, 0x00, 0x02, 0x00, 0x04})).empty());
        EXPECT_TRUE(Send(sim, WithCrc({0x00, 0x04, 0x00, 0x02, 0x00, 0x04})).empty());
        EXPECT_TRUE(Send(sim, BuildModbusWrite(0, kModbusRegAddress, 5)).empty());
        EXPECT_EQ(sim.Address(), 5);
        EXPECT_EQ(Send(sim, BuildModbusRead(5)).at(0), 5);
    }
}

TEST(ModbusSimulator, UnservedFunctionGetsIllegalFunctionException) {
    for (bool standard : {false, true}) {
        SCOPED_TRACE(standard ? "standard" : "default");
        SensorSimulator sim(ModbusSensor(1, standard));
        EXPECT_EQ(Send(sim, WithCrc({0x01, 0x04, 0x00, 0x02, 0x00, 0x04})),
                  WithCrc({0x01, 0x84, 0x01}));
        EXPECT_EQ(Send(sim, WithCrc({0x01, 0x10, 0x00, 0x11, 0x00, 0x01})),
                  WithCrc({0x01, 0x90, 0x01}));
        EXPECT_EQ(sim.Address(), 1);
        // Only a whole request to this sensor is refused; anything else is noise.
        Bytes torn = WithCrc({0x01, 0x04, 0x00, 0x02, 0x00, 0x04});
        torn[3] ^= 1;
        EXPECT_TRUE(Send(sim, torn).empty());
        EXPECT_TRUE(Send(sim, WithCrc({0x02, 0x04, 0x00, 0x02, 0x00, 0x04})).empty());
        // The sensor goes on reading requests behind it.
        EXPECT_EQ(Send(sim, BuildModbusRead(1)).size(), 15u);
    }
}

TEST(ModbusSimulator, WriteMultipleRegistersGetsIllegalFunctionException) {
    SensorSimulator sim(ModbusSensor(1));
    // Function 16 carries a byte count and its data: longer than any request served.
    EXPECT_EQ(
        Send(sim, {0x01, 0x10, 0x00, 0x11, 0x00, 0x02, 0x04, 0x00, 0x05, 0xFF, 0xFF, 0x22, 0xDE}),
        (Bytes{0x01, 0x90, 0x01, 0x8D, 0xC0}));
    EXPECT_EQ(sim.Address(), 1);
    EXPECT_TRUE(
        Send(sim, {0x02, 0x10, 0x00, 0x11, 0x00, 0x01, 0x02, 0x00, 0x05, 0x71, 0xE2}).empty());
    EXPECT_EQ(Send(sim, {0x01, 0x03, 0x00, 0x02, 0x00, 0x04, 0xE5, 0xC9}).size(), 15u);
}

SimulatorOptions RegistersAsAskedSensor() {
    SimulatorOptions o = ModbusSensor(1);
    o.registersAsAsked = true;
    return o;
}

Bytes ReadRegisters(uint8_t count) {
    return WithCrc({0x01, 0x03, 0x00, 0x02, 0x00, count});
}

TEST(ModbusSimulator, RegistersAsAskedSendsTwoDataBytesForEveryRegisterAsked) {
    SensorSimulator sim(RegistersAsAskedSensor());
    SensorSimulator tenBytes(ModbusSensor(1));
    const Bytes all = Send(tenBytes, BuildModbusRead(1), 12.0);
    ASSERT_EQ(all.size(), 15u);
    for (uint8_t n = 1; n <= 5; ++n) {
        SCOPED_TRACE(int{n});
        const Bytes f = Send(sim, ReadRegisters(n), 12.0);
        ASSERT_EQ(f.size(), 5u + 2u * n);
        EXPECT_EQ(f[2], 2 * n);
        EXPECT_TRUE(CrcHolds(f));
        // The registers hold what the ten-byte answer carries at their places.
        EXPECT_EQ(Bytes(f.begin() + 3, f.end() - 2),
                  Bytes(all.begin() + 3, all.begin() + 3 + 2 * n));
    }
}

TEST(ModbusSimulator, RegistersAsAskedAnswersTheWindowsReadWithAnglesAndNoTemperature) {
    SensorSimulator sim(RegistersAsAskedSensor());
    const Bytes f = Send(sim, BuildModbusRead(1), 12.0);
    ASSERT_EQ(f.size(), 13u);
    EXPECT_EQ(f[2], 8);
    Measurement m;
    DecodeModbusRead(f.data(), f.size(), DecodeParameters{}, m);
    EXPECT_TRUE(m.hasX);
    EXPECT_TRUE(m.hasY);
    EXPECT_FALSE(m.hasTemperature);
    EXPECT_NEAR(m.x, sim.Reading(12.0).x, kTolerance);
    EXPECT_NEAR(m.y, sim.Reading(12.0).y, kTolerance);
}

TEST(ModbusSimulator, RegistersAsAskedRefusesNoneAndAnyOutsideXToTheTemperature) {
    SensorSimulator sim(RegistersAsAskedSensor());
    EXPECT_EQ(Send(sim, ReadRegisters(0)), WithCrc({0x01, 0x83, 0x03}));
    EXPECT_EQ(Send(sim, ReadRegisters(6)), WithCrc({0x01, 0x83, 0x02}));
    EXPECT_EQ(Send(sim, WithCrc({0x01, 0x03, 0x00, 0x01, 0x00, 0x02})),
              WithCrc({0x01, 0x83, 0x02}));
    EXPECT_EQ(Send(sim, WithCrc({0x01, 0x03, 0x00, 0x03, 0x00, 0x05})),
              WithCrc({0x01, 0x83, 0x02}));
}

TEST(ModbusSimulator, RegistersAsAskedReadsAnyRangeOfTheRegisters) {
    SensorSimulator sim(RegistersAsAskedSensor());
    const Bytes all = Send(sim, ReadRegisters(5), 12.0);
    // Y alone, and the temperature alone.
    const Bytes y = Send(sim, WithCrc({0x01, 0x03, 0x00, 0x04, 0x00, 0x02}), 12.0);
    ASSERT_EQ(y.size(), 9u);
    EXPECT_EQ(Bytes(y.begin() + 3, y.end() - 2), Bytes(all.begin() + 7, all.begin() + 11));
    const Bytes t = Send(sim, WithCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01}), 12.0);
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(Bytes(t.begin() + 3, t.end() - 2), Bytes(all.begin() + 11, all.begin() + 13));
}

TEST(ModbusSimulator, RegistersAsAskedAutomaticOutputSendsWhatTheLastReadAsked) {
    SensorSimulator sim(RegistersAsAskedSensor());
    EXPECT_EQ(sim.MakeMeasurementFrame(1.0).at(2), 8);  // the window's four registers
    Send(sim, ReadRegisters(5), 1.0);
    EXPECT_EQ(sim.MakeMeasurementFrame(1.0).at(2), 10);
    Send(sim, ReadRegisters(2), 1.0);
    EXPECT_EQ(sim.MakeMeasurementFrame(1.0).at(2), 4);
}

TEST(ModbusSimulator, DefaultModeStillSendsTenDataBytesForFourRegisters) {
    SensorSimulator sim(ModbusSensor(1));
    EXPECT_EQ(Send(sim, BuildModbusRead(1)).at(2), 10);
    EXPECT_EQ(Send(sim, ReadRegisters(2)), WithCrc({0x01, 0x83, 0x02}));
}

TEST(SimulatorLine, TermiosSpeedMapsToTheSensorsBaudNumbers) {
    const struct {
        speed_t speed;
        uint32_t baud;
    } cases[] = {{B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
                 {B38400, 38400}, {B115200, 115200}, {B230400, 230400}, {B50, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        EXPECT_EQ(TermiosBaud(ClientLine(c.speed)), c.baud);
    }
}

TEST(SimulatorLine, TermiosParityFlagsMapToTheSensorsParityLetters) {
    EXPECT_EQ(TermiosParity(ClientLine(B9600)), 'N');
    EXPECT_EQ(TermiosParity(ClientLine(B9600, PARENB)), 'E');
    EXPECT_EQ(TermiosParity(ClientLine(B9600, PARENB | PARODD)), 'O');
    EXPECT_EQ(TermiosParity(ClientLine(B9600, PARENB | PARODD | CMSPAR)), 'M');
    EXPECT_EQ(TermiosParity(ClientLine(B9600, PARENB | CMSPAR)), 'S');
    // What a pseudo-terminal shows of a client that asked for odd parity.
    EXPECT_EQ(TermiosParity(ClientLine(B9600, PARODD)), 'O');
}

TEST(SimulatorLine, LineMatchesOnlyTheSensorsSpeedAndParity) {
    EXPECT_TRUE(LineMatches(ClientLine(B9600), 9600, 'N'));
    EXPECT_TRUE(LineMatches(ClientLine(B115200, PARENB), 115200, 'E'));
    EXPECT_FALSE(LineMatches(ClientLine(B19200), 9600, 'N'));
    EXPECT_FALSE(LineMatches(ClientLine(B9600, PARENB), 9600, 'N'));
    EXPECT_FALSE(LineMatches(ClientLine(B9600, PARENB | PARODD), 9600, 'E'));
    EXPECT_FALSE(LineMatches(ClientLine(B9600), 9600, 'O'));
    // Receiving at another speed than sending is not the sensor's line either.
    termios split = ClientLine(B9600);
    cfsetispeed(&split, B19200);
    EXPECT_FALSE(LineMatches(split, 9600, 'N'));
    // An input speed of 0 follows the output speed.
    termios follows = ClientLine(B9600);
    cfsetispeed(&follows, B0);
    EXPECT_TRUE(LineMatches(follows, 9600, 'N'));
    // A speed the sensor has no number for never matches.
    EXPECT_FALSE(LineMatches(ClientLine(B50), 0, 'N'));
}

TEST(SimulatorFaults, EveryNthMeasurementFrameHasABadCheck) {
    SimulatorOptions tarq = TarqSensor(), modbus = ModbusSensor();
    tarq.badChecksumEvery = modbus.badChecksumEvery = 3;
    SensorSimulator t(tarq), m(modbus);
    for (int n = 1; n <= 6; ++n) {
        // Replies and automatic frames share the count.
        const Bytes tf = n % 2 ? Send(t, TarqRead(0)) : t.MakeMeasurementFrame(n);
        const Bytes mf = n % 2 ? Send(m, BuildModbusRead(1)) : m.MakeMeasurementFrame(n);
        EXPECT_EQ(ChecksumHolds(tf), n % 3 != 0) << n;
        EXPECT_EQ(CrcHolds(mf), n % 3 != 0) << n;
    }
    // Acknowledgements are never spoilt.
    EXPECT_TRUE(ChecksumHolds(Send(t, BuildTarqFrame(kTarqSaveSettings, 0))));
}

TEST(SimulatorFaults, NoiseBeforeEachFrameCarriesEveryByteValueAndLeavesTheFrameWhole) {
    SimulatorOptions o = TarqSensor(13, 0x84, 0x21);
    o.noiseBytes = 40;
    SensorSimulator sim(o);
    std::array<bool, 256> seen{};
    for (int i = 0; i < 100; ++i) {
        for (const Bytes& f : {Send(sim, TarqRead(0x21)), sim.MakeMeasurementFrame(1.0),
                               Send(sim, BuildTarqFrame(kTarqSaveSettings, 0x21))}) {
            ASSERT_GT(f.size(), 40u);
            for (size_t n = 0; n < 40; ++n) seen[f[n]] = true;
            const Bytes frame(f.begin() + 40, f.end());
            EXPECT_EQ(frame[0], 0x68);
            EXPECT_EQ(frame.size(), size_t{frame[1]} + 1);
            EXPECT_EQ(frame[2], 0x21);
            EXPECT_TRUE(ChecksumHolds(frame));
        }
    }
    // The bytes a receiver hunts for are among them.
    EXPECT_TRUE(seen[0x68]);
    EXPECT_TRUE(seen[0x21]);
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool s) { return s; }));
}

TEST(SimulatorFaults, FloodOutputIsOneByteValueAndRepliesStayWhole) {
    SimulatorOptions o = TarqSensor();
    o.floodByte = 0x68;
    SensorSimulator sim(o);
    EXPECT_EQ(sim.MakeMeasurementFrame(1.0), Bytes(17, 0x68));
    const Bytes reply = Send(sim, TarqRead(0));
    ASSERT_FALSE(reply.empty());
    EXPECT_TRUE(ChecksumHolds(reply));
}

TEST(SimulatorFaults, GarbageOutputCarriesEveryByteValueAndRepliesStayWhole) {
    SimulatorOptions o = TarqSensor();
    o.garbage = true;
    SensorSimulator sim(o);
    std::array<bool, 256> seen{};
    for (int i = 0; i < 200; ++i) {
        const Bytes f = sim.MakeMeasurementFrame(1.0);
        ASSERT_EQ(f.size(), 17u);
        for (uint8_t b : f) seen[b] = true;
    }
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool s) { return s; }));
    const Bytes reply = Send(sim, TarqRead(0));
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply[0], 0x68);
    EXPECT_TRUE(ChecksumHolds(reply));
}

TEST(SimulatorFaults, SilentSensorNeitherAnswersNorChanges) {
    SimulatorOptions o = TarqSensor();
    o.silent = true;
    SensorSimulator sim(o);
    EXPECT_TRUE(Send(sim, TarqRead(0)).empty());
    EXPECT_TRUE(Send(sim, BuildTarqFrame(kTarqSetAddress, 0, 9)).empty());
    EXPECT_EQ(sim.Address(), 0);
}

}  // namespace

namespace {

// tiltsim's own output and exit status for `args`.
int RunTiltsim(const std::string& args, std::string& out) {
    FILE* p = popen((std::string(TILTSIM_PATH) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    return pclose(p);
}

TEST(SimulatorOptions, HelpDescribesRegistersAsAskedWhichNeedsModbus) {
    std::string help;
    ASSERT_EQ(RunTiltsim("--help", help), 0);
    EXPECT_NE(help.find("--registers-as-asked"), std::string::npos) << help;
    std::string refused;
    EXPECT_NE(RunTiltsim("--registers-as-asked", refused), 0);
    EXPECT_NE(refused.find("--registers-as-asked needs --protocol modbus"), std::string::npos)
        << refused;
}

}  // namespace
