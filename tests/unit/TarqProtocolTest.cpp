#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "HexBytes.h"
#include "TarqProtocol.h"

namespace {

// The default resolution 0.01f widened to double: every frame-protocol value is
// an integer times this.
constexpr double kR = 0.009999999776482582;
// Ten times the resolution, formed in float: the L = 15 temperature scale.
constexpr double kR15 = 0.09999999403953552;

TEST(TarqScaleTest, DefaultScalesAreTheFloatValuesWidened) {
    EXPECT_EQ(static_cast<double>(0.01f), kR);
    EXPECT_EQ(static_cast<double>(0.01f * 10.0f), kR15);
}

// ---- Requests ----------------------------------------------------------------

struct RequestCase {
    const char* name;
    const TarqTemplate* tmpl;
    uint8_t address;
    uint8_t data;
    const char* wire;
};

class TarqRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(TarqRequestTest, BuildsTheExactBytes) {
    const RequestCase& c = GetParam();
    EXPECT_EQ(BuildTarqFrame(*c.tmpl, c.address, c.data), Hex(c.wire));
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, TarqRequestTest,
    ::testing::Values(
        RequestCase{"ReadAnglesAddress0", &kTarqReadAngles, 0, 0, "68 04 00 04 08"},
        RequestCase{"ReadAnglesAddress1", &kTarqReadAngles, 1, 0, "68 04 01 04 09"},
        RequestCase{"ReadAnglesAddress5", &kTarqReadAngles, 5, 0, "68 04 05 04 0D"},
        // A data byte must not leak into a four-length template.
        RequestCase{"ReadAnglesIgnoresData", &kTarqReadAngles, 0, 0x77, "68 04 00 04 08"},
        RequestCase{"SaveSettings", &kTarqSaveSettings, 0, 0, "68 04 00 53 57"},
        RequestCase{"SetZero", &kTarqSetZero, 0, 1, "68 05 00 05 01 0B"},
        RequestCase{"ClearZero", &kTarqSetZero, 0, 0, "68 05 00 05 00 0A"},
        RequestCase{"SetBaud9600", &kTarqSetBaud, 0, 2, "68 05 00 0B 02 12"},
        RequestCase{"SetAddress1", &kTarqSetAddress, 0, 1, "68 05 00 0F 01 15"},
        RequestCase{"SetAddress0", &kTarqSetAddressZero, 0xFF, 0, "68 05 FF 0F 00 13"},
        RequestCase{"SetFrequencyPosition2", &kTarqSetFrequency, 0, 2, "68 05 00 0C 02 13"},
        RequestCase{"SetFrequencyUnlisted", &kTarqSetFrequency, 3, 0x80 | 20, "68 05 03 0C 94 A8"}),
    [](const ::testing::TestParamInfo<RequestCase>& p) { return std::string(p.param.name); });

TEST(TarqTemplateTest, StoredChecksumsHoldAndSetAddressZeroGoesToBroadcast) {
    for (const TarqTemplate* t :
         {&kTarqReadAngles, &kTarqSaveSettings, &kTarqSetBaud, &kTarqSetAddress,
          &kTarqSetAddressZero, &kTarqSetFrequency, &kTarqSetZero}) {
        const size_t size = static_cast<size_t>(t->length()) + 1;
        EXPECT_EQ(t->bytes[0], kTarqHeader);
        EXPECT_EQ(TarqChecksum(t->bytes.data(), size), t->bytes[size - 1]);
    }
    EXPECT_EQ(kTarqSetAddressZero.bytes[2], 0xFF);
    EXPECT_EQ(kTarqSetAddressZero.bytes[4], 0x00);
}

// ---- Checksum ----------------------------------------------------------------

TEST(TarqChecksumTest, SumsLengthToLastDataByteWithoutHeader) {
    const auto reply = Hex("68 0D 00 84 00 12 34 10 05 67 00 25 10 88");
    EXPECT_EQ(TarqChecksum(reply.data(), reply.size()), 0x88);
    const auto four = Hex("68 10 00 84 00 01 23 45 10 00 50 00 00 00 25 10 92");
    EXPECT_EQ(TarqChecksum(four.data(), four.size()), 0x92);
    // Carries beyond eight bits are dropped.
    const auto wrap = Hex("68 05 FF 0F 00 00");
    EXPECT_EQ(TarqChecksum(wrap.data(), wrap.size()), 0x13);
}

// ---- Packed decimal ------------------------------------------------------------

TEST(TarqBcdTest, ReadsDigitsMostSignificantFirst) {
    EXPECT_EQ(DecodeBcd3(Hex("01 23 45").data(), 0.01f), 12345 * kR);
    EXPECT_EQ(DecodeBcd3(Hex("00 00 00").data(), 0.01f), 0.0);
    EXPECT_EQ(DecodeBcd4(Hex("09 87 65 43").data(), 0.01f), 9876543 * kR);
    EXPECT_EQ(DecodeBcd3(Hex("01 23 45").data(), 0.001f), 12345 * static_cast<double>(0.001f));
}

class TarqSignNibbleTest : public ::testing::TestWithParam<uint8_t> {};

TEST_P(TarqSignNibbleTest, AnyNonZeroHighNibbleIsNegative) {
    const uint8_t sign = GetParam();
    const uint8_t three[] = {static_cast<uint8_t>(sign | 0x01), 0x23, 0x45};
    EXPECT_EQ(DecodeBcd3(three, 0.01f), -12345 * kR);
    const uint8_t four[] = {static_cast<uint8_t>(sign | 0x01), 0x23, 0x45, 0x67};
    EXPECT_EQ(DecodeBcd4(four, 0.01f), -1234567 * kR);
}

INSTANTIATE_TEST_SUITE_P(SignNibbles, TarqSignNibbleTest, ::testing::Values(0x10, 0x80, 0xF0),
                         [](const ::testing::TestParamInfo<uint8_t>& p) {
                             return "Sign" + std::to_string(p.param >> 4);
                         });

struct NibbleCase {
    const char* bytes;
    long magnitude;
};

class TarqBcd3NibbleTest : public ::testing::TestWithParam<NibbleCase> {};

TEST_P(TarqBcd3NibbleTest, NibblesAboveNineAreWeightedLikeDigits) {
    EXPECT_EQ(DecodeBcd3(Hex(GetParam().bytes).data(), 0.01f), GetParam().magnitude * kR);
}

INSTANTIATE_TEST_SUITE_P(NonDecimalDigits, TarqBcd3NibbleTest,
                         ::testing::Values(NibbleCase{"00 00 A0", 100},  // D1 = 10
                                           NibbleCase{"00 00 0B", 11}, NibbleCase{"00 0C 00", 1200},
                                           NibbleCase{"00 D0 00", 13000},
                                           NibbleCase{"0E 00 00", 140000},
                                           NibbleCase{"0F FF FF", 166665}),
                         [](const ::testing::TestParamInfo<NibbleCase>& p) {
                             return "Magnitude" + std::to_string(p.param.magnitude);
                         });

TEST(TarqBcd4NibbleTest, NibblesAboveNineAreWeightedLikeDigits) {
    EXPECT_EQ(DecodeBcd4(Hex("0F FF FF FF").data(), 0.01f), 16666665 * kR);
    EXPECT_EQ(DecodeBcd4(Hex("00 00 00 A0").data(), 0.01f), 100 * kR);
    EXPECT_EQ(DecodeBcd4(Hex("00 A0 00 00").data(), 0.01f), 1000000 * kR);
}

// ---- Reply layouts -------------------------------------------------------------

TEST(TarqReplyDecodeTest, ThreeByteReplyWithTemperatureGivesWorkedValues) {
    const auto frame = Hex("68 0D 00 84 00 12 34 10 05 67 00 25 10 88");
    Measurement m;
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), true, 0.01f, m);
    EXPECT_EQ(m.x, 1234 * kR);
    EXPECT_EQ(m.y, -567 * kR);
    EXPECT_EQ(m.temperature, 2510 * kR);
}

TEST(TarqReplyDecodeTest, LayoutTenCarriesBothAxesButNoTemperature) {
    const auto frame = Hex("68 0A 00 84 00 12 34 10 05 67 00");
    Measurement m{1.5, 2.5, 3.5};
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), false, 0.01f, m);
    EXPECT_TRUE(m.hasX);
    EXPECT_TRUE(m.hasY);
    EXPECT_FALSE(m.hasTemperature);
    EXPECT_EQ(m.temperature, 3.5);
}

TEST(TarqReplyDecodeTest, LayoutThirteenCarriesAllThreeValues) {
    const auto frame = Hex("68 0D 00 84 00 12 34 10 05 67 00 25 10 88");
    Measurement m;
    m.hasX = m.hasY = m.hasTemperature = false;
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), true, 0.01f, m);
    EXPECT_TRUE(m.hasX);
    EXPECT_TRUE(m.hasY);
    EXPECT_TRUE(m.hasTemperature);
}

TEST(TarqReplyDecodeTest, FourByteGroupCarriesAllThreeValuesInEveryLayout) {
    auto fifteen = Hex("68 0F 00 84 00 01 23 45 10 00 50 00 10 02 51 00");
    const auto sixteen = Hex("68 10 00 84 00 01 23 45 10 00 50 00 00 00 25 10 92");
    for (bool hasTemperature : {false, true}) {
        const auto& frame = hasTemperature ? sixteen : fifteen;
        Measurement m;
        m.hasX = m.hasY = m.hasTemperature = false;
        DecodeTarqFourByteGroup(frame.data(), frame.size(), hasTemperature, 0.01f, m);
        EXPECT_TRUE(m.hasX && m.hasY && m.hasTemperature) << frame.size();
    }
}

TEST(TarqReplyDecodeTest, FourByteReplyGivesWorkedValues) {
    const auto frame = Hex("68 10 00 84 00 01 23 45 10 00 50 00 00 00 25 10 92");
    Measurement m;
    DecodeTarqFourByteGroup(frame.data(), frame.size(), true, 0.01f, m);
    EXPECT_EQ(m.x, 12345 * kR);
    EXPECT_EQ(m.y, -5000 * kR);
    EXPECT_EQ(m.temperature, 2510 * kR);
}

TEST(TarqReplyDecodeTest, LengthFifteenTemperatureIsOneDecimalCoarser) {
    auto frame = Hex("68 0F 00 84 00 01 23 45 10 00 50 00 10 02 51 00");
    frame.back() = TarqChecksum(frame.data(), frame.size());
    Measurement m;
    DecodeTarqFourByteGroup(frame.data(), frame.size(), false, 0.01f, m);
    EXPECT_EQ(m.x, 12345 * kR);
    EXPECT_EQ(m.y, -5000 * kR);
    EXPECT_EQ(m.temperature, -251 * kR15);
}

TEST(TarqReplyDecodeTest, FourByteGroupDecodesAllFieldsWhateverTheCommand) {
    const auto frame = Hex("68 11 00 00 00 01 23 45 10 00 50 00 00 00 25 10 00 00");
    Measurement m;
    DecodeTarqFourByteGroup(frame.data(), frame.size(), true, 0.01f, m);
    EXPECT_EQ(m.x, 12345 * kR);
    EXPECT_EQ(m.y, -5000 * kR);
    EXPECT_EQ(m.temperature, 2510 * kR);
}

struct CommandCase {
    uint8_t command;
    bool x;
    bool y;
};

class TarqCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(TarqCommandTest, CommandSelectsTheAxesOfAThreeByteReply) {
    const CommandCase& c = GetParam();
    auto frame = Hex("68 0A 00 00 00 12 34 10 05 67 00");
    frame[3] = c.command;
    Measurement m{1.5, 2.5, 3.5};
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), false, 0.01f, m);
    EXPECT_EQ(m.x, c.x ? 1234 * kR : 1.5);
    EXPECT_EQ(m.y, c.y ? -567 * kR : 2.5);
    EXPECT_EQ(m.temperature, 3.5);
    EXPECT_EQ(m.hasX, c.x);
    EXPECT_EQ(m.hasY, c.y);
    EXPECT_FALSE(m.hasTemperature);
}

INSTANTIATE_TEST_SUITE_P(
    ReplyCommands, TarqCommandTest,
    ::testing::Values(CommandCase{0x81, true, false}, CommandCase{0x82, false, true},
                      CommandCase{0x84, true, true}, CommandCase{0x94, true, true},
                      CommandCase{0x04, false, false}, CommandCase{0x83, false, false}),
    [](const ::testing::TestParamInfo<CommandCase>& p) {
        return "Command" + std::to_string(p.param.command);
    });

struct ShortFrameCase {
    size_t count;  // frame size, L + 1
    bool x;
    bool y;
    bool temperature;
};

class TarqShortFrameTest : public ::testing::TestWithParam<ShortFrameCase> {};

TEST_P(TarqShortFrameTest, FieldsReachingTheChecksumOrBeyondAreLeft) {
    // The buffer behind a short frame holds an earlier frame's bytes, which must
    // not pass for a reading; nor may the checksum byte count as a digit pair.
    const ShortFrameCase& c = GetParam();
    auto buffer = Hex("68 00 00 84 00 00 01 00 00 02 00 00 03 99 99 99 99");
    buffer[1] = static_cast<uint8_t>(c.count - 1);
    buffer[c.count - 1] = TarqChecksum(buffer.data(), c.count);
    Measurement m{1.5, 2.5, 3.5};
    DecodeTarqThreeByteGroup(buffer.data(), c.count, true, 0.01f, m);
    EXPECT_EQ(m.x, c.x ? 1 * kR : 1.5);
    EXPECT_EQ(m.y, c.y ? 2 * kR : 2.5);
    EXPECT_EQ(m.temperature, c.temperature ? 3 * kR : 3.5);
    EXPECT_EQ(m.hasX, c.x);
    EXPECT_EQ(m.hasY, c.y);
    EXPECT_EQ(m.hasTemperature, c.temperature);
}

INSTANTIATE_TEST_SUITE_P(
    OtherLengths, TarqShortFrameTest,
    ::testing::Values(ShortFrameCase{7, false, false, false}, ShortFrameCase{8, true, false, false},
                      ShortFrameCase{10, true, false, false}, ShortFrameCase{11, true, true, false},
                      ShortFrameCase{13, true, true, false}, ShortFrameCase{14, true, true, true}),
    [](const ::testing::TestParamInfo<ShortFrameCase>& p) {
        return "Bytes" + std::to_string(p.param.count);
    });

TEST(TarqReplyDecodeTest, LongerOtherLengthFrameDecodesTemperatureItCarries) {
    // L = 14: the three-byte layout with one extra byte before the checksum.
    auto frame = Hex("68 0E 00 84 00 12 34 10 05 67 00 25 10 00 00");
    frame.back() = TarqChecksum(frame.data(), frame.size());
    Measurement m{1.5, 2.5, 3.5};
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), true, 0.01f, m);
    EXPECT_EQ(m.temperature, 2510 * kR);
    Measurement n{1.5, 2.5, 3.5};
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), false, 0.01f, n);
    EXPECT_EQ(n.temperature, 3.5);
}

TEST(TarqReplyDecodeTest, FrameTooShortForACommandDecodesNothing) {
    const auto frame = Hex("68 02 02");
    Measurement m{1.5, 2.5, 3.5};
    DecodeTarqThreeByteGroup(frame.data(), frame.size(), true, 0.01f, m);
    EXPECT_EQ(m.x, 1.5);
    EXPECT_EQ(m.y, 2.5);
    EXPECT_EQ(m.temperature, 3.5);
    EXPECT_FALSE(m.HasAnyValue());
}

}  // namespace
