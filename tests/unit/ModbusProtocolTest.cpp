#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "HexBytes.h"
#include "ModbusProtocol.h"

namespace {

uint16_t Crc(const std::vector<uint8_t>& bytes) {
    return ModbusCrc(bytes.data(), bytes.size());
}

// ---- CRC -----------------------------------------------------------------------

TEST(ModbusCrcTest, MatchesTheStandardCheckValue) {
    // The catalogued check value of CRC-16/MODBUS.
    EXPECT_EQ(Crc({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0x4B37);
    EXPECT_EQ(Crc({}), 0xFFFF);
}

TEST(ModbusCrcTest, LowByteIsFirstOnTheWire) {
    EXPECT_EQ(Crc(Hex("01 03 00 02 00 04")), 0xC9E5);
    EXPECT_EQ(Crc(Hex("00 03 00 02 00 04")), 0x18E4);
}

TEST(ModbusCrcTest, ValidFrameWithItsCrcGivesZeroAndAnyFlippedBitDoesNot) {
    const auto frame = Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C");
    EXPECT_EQ(Crc(frame), 0);
    for (size_t i = 0; i < frame.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            auto bad = frame;
            bad[i] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_NE(Crc(bad), 0) << "byte " << i << " bit " << bit;
        }
    }
}

// ---- Requests ----------------------------------------------------------------

struct RequestCase {
    const char* name;
    std::vector<uint8_t> built;
    const char* wire;
};

class ModbusRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(ModbusRequestTest, BuildsTheExactBytesWithAValidCrc) {
    EXPECT_EQ(GetParam().built, Hex(GetParam().wire));
    EXPECT_EQ(Crc(GetParam().built), 0);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ModbusRequestTest,
    ::testing::Values(RequestCase{"ReadAddress1", BuildModbusRead(1), "01 03 00 02 00 04 E5 C9"},
                      RequestCase{"ReadAddress0", BuildModbusRead(0), "00 03 00 02 00 04 E4 18"},
                      RequestCase{"SetZero", BuildModbusWrite(1, kModbusRegZero, 0xFF),
                                  "01 06 00 10 00 FF C8 4F"},
                      RequestCase{"ClearZero", BuildModbusWrite(1, kModbusRegZero, 0x00),
                                  "01 06 00 10 00 00 88 0F"},
                      RequestCase{"SetBaud9600", BuildModbusWrite(1, kModbusRegBaud, 0xA1),
                                  "01 06 00 12 00 A1 E8 77"},
                      RequestCase{"SetAddress2", BuildModbusWrite(1, kModbusRegAddress, 2),
                                  "01 06 00 11 00 02 58 0E"},
                      RequestCase{"SetFrequencyPosition1",
                                  BuildModbusWrite(1, kModbusRegFrequency, 1),
                                  "01 06 00 13 00 01 B9 CF"},
                      RequestCase{"SetParityNone", BuildModbusWrite(1, kModbusRegParity, 1),
                                  "01 06 00 09 00 01 98 08"}),
    [](const ::testing::TestParamInfo<RequestCase>& p) { return std::string(p.param.name); });

// ---- Read reply ----------------------------------------------------------------

TEST(ModbusReadDecodeTest, TenByteReplyGivesWorkedValues) {
    const auto frame = Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C");
    Measurement m;
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    EXPECT_EQ(m.x, 33.44999694824219);
    EXPECT_EQ(m.y, 0.0);
    EXPECT_EQ(m.temperature, 2510 * 0.01);
}

TEST(ModbusReadDecodeTest, ReplyOfTenDataBytesCarriesAllThreeValues) {
    const auto frame = Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C");
    Measurement m;
    m.hasX = m.hasY = m.hasTemperature = false;
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    EXPECT_TRUE(m.hasX);
    EXPECT_TRUE(m.hasY);
    EXPECT_TRUE(m.hasTemperature);
}

TEST(ModbusReadDecodeTest, TemperatureIsSignedWithHighByteFirst) {
    auto frame = Hex("01 03 0A 00 00 00 00 00 00 00 00 FF 38 00 00");
    Measurement m;
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    EXPECT_EQ(m.temperature, -200 * 0.01);
}

TEST(ModbusReadDecodeTest, ReplyOfEightDataBytesKeepsTheTemperature) {
    // Offsets 11 and 12 hold this reply's CRC, not a temperature.
    const auto frame = Hex("01 03 08 39 30 00 00 28 23 00 00 9E C0");
    ASSERT_EQ(Crc(frame), 0);
    Measurement m{1.5, 2.5, 21.5};
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    EXPECT_EQ(m.x, 33.44999694824219);
    EXPECT_EQ(m.y, 0.0);
    EXPECT_EQ(m.temperature, 21.5);
}

TEST(ModbusReadDecodeTest, ReplyOfEightDataBytesCarriesTheAnglesButNoTemperature) {
    const auto frame = Hex("01 03 08 39 30 00 00 28 23 00 00 9E C0");
    Measurement m;
    m.hasX = m.hasY = false;
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    EXPECT_TRUE(m.hasX);
    EXPECT_TRUE(m.hasY);
    EXPECT_FALSE(m.hasTemperature);
}

TEST(ModbusReadDecodeTest, ReplyOfFewerThanEightDataBytesKeepsEverything) {
    const auto frame = Hex("01 03 04 39 30 00 00 F6 A0");
    ASSERT_EQ(Crc(frame), 0);
    Measurement m{1.5, 2.5, 21.5};
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    EXPECT_EQ(m.x, 1.5);
    EXPECT_EQ(m.y, 2.5);
    EXPECT_EQ(m.temperature, 21.5);
}

TEST(ModbusReadDecodeTest, ReplyOfFewerThanEightDataBytesCarriesNoValue) {
    // Zero to three registers: not even one whole angle.
    for (uint8_t n : {0, 2, 4, 6}) {
        std::vector<uint8_t> frame{0x01, 0x03, n};
        for (uint8_t i = 0; i < n; ++i) frame.push_back(static_cast<uint8_t>(0x30 + i));
        const uint16_t crc = Crc(frame);
        frame.push_back(static_cast<uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<uint8_t>(crc >> 8));
        Measurement m;
        DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
        EXPECT_FALSE(m.HasAnyValue()) << "N = " << int{n};
    }
}

TEST(ModbusReadDecodeTest, FrameShorterThanItsByteCountDecodesNothing) {
    const auto frame = Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C");
    Measurement m{1.5, 2.5, 21.5};
    DecodeModbusRead(frame.data(), frame.size() - 1, DecodeParameters{}, m);
    EXPECT_FALSE(m.HasAnyValue());
    DecodeModbusRead(frame.data(), 4, DecodeParameters{}, m);
    EXPECT_EQ(m.x, 1.5);
    EXPECT_EQ(m.y, 2.5);
    EXPECT_EQ(m.temperature, 21.5);
    EXPECT_FALSE(m.HasAnyValue());
}

TEST(ModbusReadDecodeTest, RawAngleWithBitThirtyOneIsLargePositive) {
    const auto frame = Hex("01 03 08 00 00 00 80 28 23 00 00 6C 63");
    ASSERT_EQ(Crc(frame), 0);
    Measurement m;
    DecodeModbusRead(frame.data(), frame.size(), DecodeParameters{}, m);
    // 2^31 x 0.01 - 90, within the float's spacing of 2 at that size.
    EXPECT_NEAR(m.x, 21474746.48, 2.0);
}

TEST(ModbusReadDecodeTest, AnglesCarrySinglePrecisionOnly) {
    // 16777217 has no float of its own; a double product would keep the odd unit.
    const auto frame = Hex("01 03 08 01 00 00 01 00 00 00 00 00 00");
    DecodeParameters p;
    p.ResolutionFactor = 0.01f;
    p.XRangeOffset = 0.0f;
    Measurement m;
    DecodeModbusRead(frame.data(), frame.size(), p, m);
    EXPECT_EQ(m.x, static_cast<double>(16777216.0f * 0.01f));
}

TEST(ModbusReadDecodeTest, DecodeParametersScaleAndOffsetTheAngles) {
    const auto frame = Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C");
    DecodeParameters p;
    p.ResolutionFactor = 0.001f;
    p.XRangeOffset = 0.0f;
    p.YRangeOffset = 10.0f;
    Measurement m;
    DecodeModbusRead(frame.data(), frame.size(), p, m);
    EXPECT_EQ(m.x, 12.345000267028809);
    EXPECT_EQ(m.y, static_cast<double>(9000 * 0.001f) - 10.0);
    // The temperature scale is fixed, not the resolution.
    EXPECT_EQ(m.temperature, 2510 * 0.01);
}

}  // namespace
