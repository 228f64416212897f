#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "HexBytes.h"
#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "TarqProtocol.h"

namespace {

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Checksum filled in last, so frames can be written with a placeholder.
std::vector<uint8_t> WithChecksum(const std::string& text) {
    auto frame = Hex(text);
    frame.back() = TarqChecksum(frame.data(), frame.size());
    return frame;
}

std::vector<uint8_t> WithCrc(const std::string& text) {
    auto frame = Hex(text);
    const uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

constexpr double kR = 0.009999999776482582;

const std::string kTarqReply = "68 0D 00 84 00 12 34 10 05 67 00 25 10 88";
const std::string kTarqReplyEcho = "Rx: 68 0d 00 84 00 12 34 10 05 67 00 25 10 88 \r\n";
const std::string kModbusReply = "01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C";

class FakeWriteQueue : public WriteQueue {
public:
    void QueueWrite(const uint8_t* block, uint32_t n) override {
        writes.emplace_back(block, block + n);
    }
    std::vector<std::vector<uint8_t>> writes;
};

class ReceivePathTest : public ::testing::Test {
protected:
    ReceivePathTest() : path_(params_, Handlers()) {
        path_.SetWriteQueue(&queue_);
        path_.SetLinkOpen(true);
    }

    ReceiveHandlers Handlers() {
        ReceiveHandlers h;
        h.DeliverMeasurement = [this](const Measurement& m) { delivered_.push_back(m); };
        h.OnTarqAcknowledge = [this](const uint8_t* f, size_t n) { acks_.emplace_back(f, f + n); };
        h.OnModbusEcho = [this](const uint8_t* f, size_t n) { echoes_.emplace_back(f, f + n); };
        return h;
    }

    void FeedTarq(const std::vector<uint8_t>& bytes) { path_.OnRxTarq(bytes.data(), bytes.size()); }
    void FeedTarq(const std::string& text) { FeedTarq(Hex(text)); }
    void FeedModbus(const std::vector<uint8_t>& bytes) {
        path_.OnRxModbus(bytes.data(), bytes.size());
    }
    void FeedModbus(const std::string& text) { FeedModbus(Hex(text)); }
    void Transmit(const std::vector<uint8_t>& bytes) {
        path_.OnTxFrame(bytes.data(), bytes.size());
    }

    DecodeParameters params_;
    FakeWriteQueue queue_;
    std::vector<Measurement> delivered_;
    std::vector<std::vector<uint8_t>> acks_;
    std::vector<std::vector<uint8_t>> echoes_;
    ReceivePath path_;
};

// ---- Start-up and transmit ---------------------------------------------------

TEST_F(ReceivePathTest, StartsIdleWithZeroCounters) {
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
    EXPECT_FALSE(path_.ReplySeen());
    EXPECT_FALSE(path_.HasTemperature());
    EXPECT_EQ(path_.FramesThisSecond(), 0);
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_EQ(path_.MiscountText(), "0");
    EXPECT_EQ(path_.PendingTrafficText(), "");
}

TEST_F(ReceivePathTest, TransmitQueuesEchoesAndGoesIdleAfterTransmit) {
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    ASSERT_EQ(queue_.writes.size(), 1u);
    EXPECT_EQ(queue_.writes[0], Hex("68 04 00 04 08"));
    EXPECT_EQ(path_.PendingTrafficText(), "Tx: 68 04 00 04 08 \r\n");
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdleAfterTransmit);
}

TEST_F(ReceivePathTest, ClosedLinkDropsTransmissionWithoutTrace) {
    path_.SetLinkOpen(false);
    FeedTarq("68 0D 00 84");
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    EXPECT_TRUE(queue_.writes.empty());
    EXPECT_EQ(path_.PendingTrafficText(), "Rx: 68 0d 00 84 ");
    // Nor is the frame under way abandoned.
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kTarqThreeByteValueRest);
    FeedTarq("00 12 34 10 05 67 00 25 10 88");
    EXPECT_EQ(delivered_.size(), 1u);
}

TEST_F(ReceivePathTest, EchoWritesEveryByteAsTwoLowerCaseDigitsAndABlank) {
    std::vector<uint8_t> all(256);
    std::string expected = "Tx: ";
    for (unsigned b = 0; b < 256; ++b) {
        all[b] = static_cast<uint8_t>(b);
        char text[4];
        std::snprintf(text, sizeof text, "%02x ", b);
        expected += text;
    }
    expected += "\r\n";
    Transmit(all);
    EXPECT_EQ(path_.PendingTrafficText(), expected);
}

TEST_F(ReceivePathTest, TakingTrafficTextEmptiesIt) {
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    EXPECT_EQ(path_.TakeTrafficText(), "Tx: 68 04 00 04 08 \r\n");
    EXPECT_EQ(path_.PendingTrafficText(), "");
    FeedTarq(kTarqReply);
    EXPECT_EQ(path_.TakeTrafficText(), kTarqReplyEcho);
}

// ---- Frame protocol: assembly and echo ----------------------------------------

TEST_F(ReceivePathTest, TarqReplyDecodesCountsAndEchoes) {
    FeedTarq(kTarqReply);
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(delivered_[0].y, -567 * kR);
    EXPECT_EQ(delivered_[0].temperature, 2510 * kR);
    EXPECT_EQ(path_.LastMeasurement().x, 1234 * kR);
    EXPECT_EQ(path_.PendingTrafficText(), kTarqReplyEcho);
    EXPECT_EQ(path_.FramesThisSecond(), 1);
    EXPECT_TRUE(path_.ReplySeen());
    EXPECT_TRUE(path_.HasTemperature());
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

TEST_F(ReceivePathTest, TarqFourByteRepliesDecode) {
    FeedTarq("68 10 00 84 00 01 23 45 10 00 50 00 00 00 25 10 92");
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 12345 * kR);
    EXPECT_EQ(delivered_[0].y, -5000 * kR);
    EXPECT_EQ(delivered_[0].temperature, 2510 * kR);

    FeedTarq(WithChecksum("68 0F 00 84 00 00 00 01 00 00 00 02 00 02 51 00"));
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].x, 1 * kR);
    EXPECT_EQ(delivered_[1].y, 2 * kR);
    EXPECT_EQ(delivered_[1].temperature, 251 * 0.09999999403953552);
    EXPECT_FALSE(path_.HasTemperature());

    FeedTarq(WithChecksum("68 11 00 00 00 00 00 03 00 00 00 04 00 00 00 05 00 00"));
    ASSERT_EQ(delivered_.size(), 3u);
    EXPECT_EQ(delivered_[2].x, 3 * kR);
    EXPECT_EQ(delivered_[2].y, 4 * kR);
    EXPECT_EQ(delivered_[2].temperature, 5 * kR);
    EXPECT_EQ(path_.FramesThisSecond(), 3);
}

class TarqSplitTest : public ReceivePathTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(TarqSplitTest, SplitReplyIsAssembledOnce) {
    const auto frame = Hex(kTarqReply);
    const size_t split = GetParam();
    path_.OnRxTarq(frame.data(), split);
    EXPECT_TRUE(delivered_.empty());
    path_.OnRxTarq(frame.data() + split, frame.size() - split);
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.FramesThisSecond(), 1);
    EXPECT_EQ(path_.PendingTrafficText(), kTarqReplyEcho);
}

INSTANTIATE_TEST_SUITE_P(EverySplitPoint, TarqSplitTest, ::testing::Range<size_t>(1, 14),
                         [](const ::testing::TestParamInfo<size_t>& p) {
                             return "After" + std::to_string(p.param);
                         });

TEST_F(ReceivePathTest, TwoTarqRepliesInOneBlockGiveTwoMeasurements) {
    FeedTarq(Concat(Hex(kTarqReply), WithChecksum("68 0A 00 84 00 00 01 00 00 02 00")));
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].x, 1 * kR);
    EXPECT_EQ(delivered_[1].y, 2 * kR);
    EXPECT_EQ(path_.PendingTrafficText(),
              kTarqReplyEcho + "Rx: 68 0a 00 84 00 00 01 00 00 02 91 \r\n");
    EXPECT_EQ(path_.FramesThisSecond(), 2);
    EXPECT_EQ(path_.TakeFramesThisSecond(), 2);
    EXPECT_EQ(path_.FramesThisSecond(), 0);
}

TEST_F(ReceivePathTest, NoiseBeforeHeaderIsDroppedWithoutEcho) {
    FeedTarq(Concat(Hex("00 FF 12 84 0D"), Hex(kTarqReply)));
    EXPECT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(path_.PendingTrafficText(), kTarqReplyEcho);
}

// A sensor sending by itself is mid-frame whenever a poll goes out: the frame
// must survive the request.
TEST_F(ReceivePathTest, RequestDuringAFrameKeepsTheFrameWhoseRestFollows) {
    FeedTarq("68 0D 00 84");
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    FeedTarq("00 12 34 10 05 67 00 25 10 88");
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.FramesThisSecond(), 1);
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_EQ(path_.PendingTrafficText(),
              "Rx: 68 0d 00 84 Tx: 68 04 00 04 08 \r\nRx: 00 12 34 10 05 67 00 25 10 88 \r\n");
}

TEST_F(ReceivePathTest, CutOffReplyGivesWayToTheNextReplyUncounted) {
    FeedTarq("68 0D 00 84 00 12");  // the sensor stopped mid-reply
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    FeedTarq(kTarqReply);
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.FramesThisSecond(), 1);
    EXPECT_EQ(path_.Miscount(), 0);  // the left-over half is no bad frame
    // And the next exchange reads as usual.
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    FeedTarq(kTarqReply);
    EXPECT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(path_.Miscount(), 0);
}

TEST_F(ReceivePathTest, CutOffReplyFollowedByAReplyInPiecesIsReadOnce) {
    FeedTarq("68 0D 00");
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    const auto reply = Hex(kTarqReply);
    for (uint8_t b : reply) FeedTarq(std::vector<uint8_t>{b});
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

TEST_F(ReceivePathTest, FrameCarriedThroughModbusAroundARequestIsNotReadAgain) {
    // Started by the frame protocol, grown by a Modbus collection, cut by a
    // request, then ended by the frame protocol with a short length byte.
    FeedTarq("68");
    FeedModbus("11 22 33 44 55 66 77 88 99");
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    FeedTarq("02 00 00");
    EXPECT_TRUE(delivered_.empty());
    EXPECT_FALSE(path_.FrameOpen());
    EXPECT_EQ(path_.Miscount(), 0);
    FeedTarq(kTarqReply);
    EXPECT_EQ(delivered_.size(), 1u);
}

TEST_F(ReceivePathTest, TarqChecksumFailureCountsMiscountAndKeepsMeasurement) {
    FeedTarq(kTarqReply);
    const Measurement before = path_.LastMeasurement();
    FeedTarq("68 0D 00 84 00 99 99 10 00 01 00 30 00 89");
    EXPECT_EQ(path_.Miscount(), 1);
    EXPECT_EQ(path_.MiscountText(), "1");
    EXPECT_EQ(path_.FramesThisSecond(), 2);
    EXPECT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(path_.LastMeasurement().x, before.x);
    EXPECT_EQ(path_.LastMeasurement().y, before.y);
    EXPECT_EQ(path_.LastMeasurement().temperature, before.temperature);
    FeedTarq("68 10 00 84 00 01 23 45 10 00 50 00 00 00 25 10 93");
    EXPECT_EQ(path_.Miscount(), 2);
    EXPECT_EQ(path_.MiscountText(), "2");
}

TEST_F(ReceivePathTest, MiscountTextFollowsPastOneDigit) {
    for (int i = 0; i < 12; ++i) FeedTarq("68 0A 00 84 00 00 01 00 00 02 00");
    EXPECT_EQ(path_.Miscount(), 12);
    EXPECT_EQ(path_.MiscountText(), "12");
}

// Each step feeds one frame and states which fields it must leave.
struct TemperatureStep {
    std::string frame;
    double x;
    double temperature;
    bool hasTemperature;
};

TEST_F(ReceivePathTest, TemperatureFollowsTheFrameLength) {
    const std::vector<TemperatureStep> steps = {
        // L = 13 carries one.
        {kTarqReply, 1234 * kR, 2510 * kR, true},
        // L = 10 does not, and the last one stays.
        {"68 0A 00 84 00 00 07 00 00 00 00", 7 * kR, 2510 * kR, false},
        // L = 13 again carries one.
        {"68 0D 00 84 00 00 09 00 00 00 00 00 11 00", 9 * kR, 11 * kR, true},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        FeedTarq(WithChecksum(steps[i].frame));
        ASSERT_EQ(delivered_.size(), i + 1);
        EXPECT_EQ(delivered_.back().x, steps[i].x);
        EXPECT_EQ(delivered_.back().temperature, steps[i].temperature);
        EXPECT_EQ(path_.HasTemperature(), steps[i].hasTemperature);
    }
    EXPECT_EQ(path_.Miscount(), 0);
}

TEST_F(ReceivePathTest, DeliveredMeasurementSaysWhichValuesTheFrameCarried) {
    FeedTarq(WithChecksum("68 0A 00 84 00 00 07 00 00 08 00"));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_TRUE(delivered_[0].hasX);
    EXPECT_TRUE(delivered_[0].hasY);
    EXPECT_FALSE(delivered_[0].hasTemperature);
    FeedTarq(kTarqReply);
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_TRUE(delivered_[1].hasTemperature);
    FeedTarq(WithChecksum("68 0A 00 81 00 00 05 00 00 06 00"));
    ASSERT_EQ(delivered_.size(), 3u);
    EXPECT_TRUE(delivered_[2].hasX);
    EXPECT_FALSE(delivered_[2].hasY);
    EXPECT_FALSE(delivered_[2].hasTemperature);
    EXPECT_EQ(delivered_[2].temperature, 2510 * kR);  // kept
}

TEST_F(ReceivePathTest, TarqReplyWithoutAnyValueIsCountedAndHandedOnCarryingNone) {
    FeedTarq(kTarqReply);
    // A command that names no axis, in the layout without temperature.
    FeedTarq(WithChecksum("68 0A 00 83 00 00 07 00 00 08 00"));
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_FALSE(delivered_[1].HasAnyValue());
    EXPECT_EQ(delivered_[1].x, 1234 * kR);  // every number kept
    EXPECT_EQ(path_.FramesThisSecond(), 2);
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_TRUE(path_.ReplySeen());
}

TEST_F(ReceivePathTest, CommandEightyOneUpdatesXOnly) {
    FeedTarq(kTarqReply);
    FeedTarq(WithChecksum("68 0A 00 81 00 00 05 00 00 06 00"));
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].x, 5 * kR);
    EXPECT_EQ(delivered_[1].y, -567 * kR);
    FeedTarq(WithChecksum("68 0A 00 82 00 00 07 00 00 08 00"));
    EXPECT_EQ(delivered_[2].x, 5 * kR);
    EXPECT_EQ(delivered_[2].y, 8 * kR);
}

TEST_F(ReceivePathTest, LengthNoReplyHasIsNoiseAndTheSearchGoesOn) {
    // 0x0B, 0x00 and 0x68 are lengths no sensor sends: nothing is waited for.
    FeedTarq(Concat(Hex("68 0B 68 00 68 68"), Hex(kTarqReply)));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.FramesThisSecond(), 1);
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

// ---- Frame protocol: noise on the line ------------------------------------------

TEST_F(ReceivePathTest, StrayHeaderAfterAReplyCostsNoLaterReply) {
    for (const char* stray : {"68", "68 FF", "68 68 68"}) {
        SCOPED_TRACE(stray);
        delivered_.clear();
        FeedTarq(Concat(Hex(kTarqReply), Hex(stray)));
        for (int i = 0; i < 5; ++i) {
            Transmit(BuildTarqFrame(kTarqReadAngles, 0));
            FeedTarq(kTarqReply);
        }
        EXPECT_EQ(delivered_.size(), 6u);
    }
    EXPECT_EQ(path_.Miscount(), 0);
}

TEST_F(ReceivePathTest, FalseStartThatSwallowsAReplyIsSearchedAgain) {
    // Noise that reads as the start of a 14-byte frame takes the reply's first
    // twelve bytes; its checksum fails and the reply is found inside it.
    FeedTarq(Concat(Hex("33 68 0D"), Hex(kTarqReply)));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.Miscount(), 1);  // the false frame, counted as any bad one
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

TEST_F(ReceivePathTest, FalseStartLongerThanTheReplyBehindItGivesWayWhenTheLineFallsQuiet) {
    // 68 11 would end four bytes after the reply; nothing more comes.
    FeedTarq(Concat(Hex("68 11"), Hex(kTarqReply)));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 1234 * kR);
    EXPECT_EQ(path_.Miscount(), 0);
    // A reply split after such a false start is found once its last byte is in.
    delivered_.clear();
    const auto reply = Hex(kTarqReply);
    FeedTarq(Concat(Hex("68 11"), std::vector<uint8_t>(reply.begin(), reply.begin() + 9)));
    EXPECT_TRUE(delivered_.empty());
    FeedTarq(std::vector<uint8_t>(reply.begin() + 9, reply.end()));
    EXPECT_EQ(delivered_.size(), 1u);
}

TEST_F(ReceivePathTest, FalseStartBeforeARequestCostsNeitherTheReplyBeforeNorAfter) {
    FeedTarq(Concat(Hex("68 11"), Hex(kTarqReply + " 00 00")));
    Transmit(BuildTarqFrame(kTarqReadAngles, 0));
    EXPECT_EQ(delivered_.size(), 1u);  // read before the request went out
    FeedTarq(Concat(Hex("68"), Hex(kTarqReply)));
    EXPECT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

TEST_F(ReceivePathTest, TrafficTextKeepsItsNewestPartUnderAFlood) {
    const std::vector<uint8_t> flood(100000, 0x68);
    for (int i = 0; i < 10; ++i) FeedTarq(flood);
    FeedTarq(kTarqReply);
    const std::string& text = path_.PendingTrafficText();
    EXPECT_LE(text.size(), 2 * kTrafficPaneLimit);
    EXPECT_GT(path_.TrafficBytesDropped(), 0u);
    // The reply's header byte ends the flood's last line; the rest follows on its own.
    const std::string tail = "68 \r\nRx: 0d 00 84 00 12 34 10 05 67 00 25 10 88 \r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(delivered_.size(), 1u);
}

// ---- Frame protocol: acknowledgements ------------------------------------------

struct AckCase {
    const char* name;
    const char* frame;
    bool passed;
};

class TarqAckTest : public ReceivePathTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(TarqAckTest, OnlyAcknowledgementsWithAValidChecksumArePassedOn) {
    const AckCase& c = GetParam();
    FeedTarq(c.frame);
    ASSERT_EQ(acks_.size(), c.passed ? 1u : 0u);
    if (c.passed) {
        EXPECT_EQ(acks_[0], Hex(c.frame));
    }
    // Neither a measurement nor a miscount, valid or not.
    EXPECT_TRUE(delivered_.empty());
    EXPECT_EQ(path_.FramesThisSecond(), 0);
    EXPECT_EQ(path_.Miscount(), 0);
    // Only a frame that passes its check is a reply: noise confirms no port.
    EXPECT_EQ(path_.ReplySeen(), c.passed);
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

INSTANTIATE_TEST_SUITE_P(Acknowledgements, TarqAckTest,
                         ::testing::Values(AckCase{"Success", "68 05 00 85 00 8A", true},
                                           // Failure status is for the settings command to judge.
                                           AckCase{"FailureStatus", "68 05 00 8F FF 93", true},
                                           AckCase{"WrongChecksum", "68 05 00 85 00 8B", false}),
                         [](const ::testing::TestParamInfo<AckCase>& p) {
                             return std::string(p.param.name);
                         });

// ---- Modbus --------------------------------------------------------------------

class ModbusReceiveTest : public ReceivePathTest {
protected:
    ModbusReceiveTest() { path_.SetDeviceAddress(1); }
};

TEST_F(ModbusReceiveTest, ReadReplyIsCompleteAfterFifteenBytes) {
    const auto frame = Hex(kModbusReply);
    FeedModbus(std::vector<uint8_t>(frame.begin(), frame.end() - 1));
    EXPECT_TRUE(delivered_.empty());
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kModbusReadDataRest);
    FeedModbus(std::vector<uint8_t>(frame.end() - 1, frame.end()));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 33.44999694824219);
    EXPECT_EQ(delivered_[0].y, 0.0);
    EXPECT_EQ(delivered_[0].temperature, 2510 * 0.01);
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
    EXPECT_EQ(path_.FramesThisSecond(), 1);
    EXPECT_TRUE(path_.ReplySeen());
    EXPECT_EQ(path_.PendingTrafficText(), "Rx: 01 03 0a 39 30 00 00 28 23 00 00 09 ce e4 4c \r\n");
}

TEST_F(ModbusReceiveTest, BytesBeforeTheDeviceAddressAreDroppedWithoutEcho) {
    path_.SetDeviceAddress(5);
    FeedModbus(Concat(Hex("00 03 0A 39 30"), Hex("05 03 0A 39 30 00 00 28 23 00 00 09 CE EA C8")));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(path_.PendingTrafficText(), "Rx: 05 03 0a 39 30 00 00 28 23 00 00 09 ce ea c8 \r\n");
}

TEST_F(ReceivePathTest, EachMeasurementNamesTheAddressItsFrameCameFrom) {
    FeedTarq(WithChecksum("68 0D 07 84 00 12 34 10 05 67 00 25 10 00"));
    FeedTarq(WithChecksum("68 0D 02 84 00 12 34 10 05 67 00 25 10 00"));
    path_.SetDeviceAddress(5);
    FeedModbus("05 03 0A 39 30 00 00 28 23 00 00 09 CE EA C8");
    ASSERT_EQ(delivered_.size(), 3u);
    EXPECT_EQ(delivered_[0].address, 7);
    EXPECT_EQ(delivered_[1].address, 2);
    EXPECT_EQ(delivered_[2].address, 5);
}

TEST_F(ModbusReceiveTest, TwoRepliesInOneBlockGiveTwoMeasurements) {
    FeedModbus(Concat(Hex(kModbusReply), Hex(kModbusReply)));
    EXPECT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(path_.FramesThisSecond(), 2);
}

TEST_F(ModbusReceiveTest, ExceptionReplyIsReadWholeAndUncounted) {
    FeedModbus("01 83 02 C0 F1");
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
    EXPECT_TRUE(path_.ReplySeen());
    EXPECT_EQ(path_.FramesThisSecond(), 0);
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_EQ(path_.PendingTrafficText(), "Rx: 01 83 02 c0 f1 \r\n");
    FeedModbus(kModbusReply);
    EXPECT_EQ(delivered_.size(), 1u);
}

TEST_F(ModbusReceiveTest, NoiseThatStartsWithTheAddressCostsNoReply) {
    // An unknown function, a byte count no read has, a false start that swallows
    // the reply's start, and one that would end after it.
    for (const char* noise : {"01 01", "01 03 FF", "01 03 0A 01", "01 03 0A"}) {
        SCOPED_TRACE(noise);
        delivered_.clear();
        FeedModbus(Concat(Hex(noise), Hex(kModbusReply)));
        ASSERT_EQ(delivered_.size(), 1u);
        EXPECT_EQ(delivered_[0].x, 33.44999694824219);
        EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
    }
}

TEST_F(ModbusReceiveTest, StrayAddressAfterAReplyCostsNoLaterReply) {
    FeedModbus(kModbusReply + " 01");
    for (int i = 0; i < 5; ++i) FeedModbus(kModbusReply);
    EXPECT_EQ(delivered_.size(), 6u);
    EXPECT_EQ(path_.Miscount(), 0);
}

TEST_F(ModbusReceiveTest, EightByteReplyCarriesNoTemperatureAndKeepsTheLastOne) {
    FeedModbus(kModbusReply);
    FeedModbus("01 03 08 00 00 00 00 28 23 00 00 6D BD");
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].x, -90.0);
    EXPECT_TRUE(delivered_[1].hasX);
    EXPECT_TRUE(delivered_[1].hasY);
    EXPECT_FALSE(delivered_[1].hasTemperature);
    EXPECT_EQ(delivered_[1].temperature, 2510 * 0.01);
    EXPECT_EQ(path_.Miscount(), 0);
}

TEST_F(ModbusReceiveTest, ReplyWithoutAnyValueIsCountedAndHandedOnCarryingNone) {
    FeedModbus(kModbusReply);
    // Two, four and six data bytes: not one whole angle.
    for (const char* reply :
         {"01 03 02 39 30", "01 03 04 39 30 00 00", "01 03 06 39 30 00 00 28 23"}) {
        SCOPED_TRACE(reply);
        FeedModbus(WithCrc(reply));
        EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
        ASSERT_FALSE(delivered_.empty());
        EXPECT_FALSE(delivered_.back().HasAnyValue());
        EXPECT_EQ(delivered_.back().x, 33.44999694824219);
        EXPECT_EQ(delivered_.back().temperature, 2510 * 0.01);
    }
    EXPECT_EQ(delivered_.size(), 4u);
    EXPECT_EQ(path_.FramesThisSecond(), 4);
    EXPECT_EQ(path_.Miscount(), 0);
}

TEST_F(ModbusReceiveTest, CrcFailureCountsMiscountAndKeepsMeasurement) {
    FeedModbus(kModbusReply);
    FeedModbus("01 03 0A 00 00 00 00 00 00 00 00 00 00 E4 4C");
    EXPECT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(path_.LastMeasurement().x, 33.44999694824219);
    EXPECT_EQ(path_.Miscount(), 1);
    EXPECT_EQ(path_.MiscountText(), "1");
    EXPECT_EQ(path_.FramesThisSecond(), 2);
}

TEST_F(ModbusReceiveTest, ValuesOutsideTheSensorsRangesAreBadRepliesNotMeasurements) {
    // X of 21474746.48 degrees (bit 31 set); then Y of 90.01 degrees; then 85.01
    // and -40.01 degrees Celsius. The edges themselves are readings.
    FeedModbus("01 03 08 00 00 00 80 28 23 00 00 6C 63");
    FeedModbus(WithCrc("01 03 0A 39 30 00 00 51 46 00 00 09 CE"));
    FeedModbus(WithCrc("01 03 0A 39 30 00 00 28 23 00 00 21 35"));
    FeedModbus(WithCrc("01 03 0A 39 30 00 00 28 23 00 00 F0 5F"));
    EXPECT_TRUE(delivered_.empty());
    EXPECT_EQ(path_.Miscount(), 4);
    EXPECT_FALSE(path_.ReplySeen());
    FeedModbus(WithCrc("01 03 0A 00 00 00 00 50 46 00 00 21 34"));
    FeedModbus(WithCrc("01 03 0A 50 46 00 00 00 00 00 00 F0 60"));
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[0].x, -90.0);
    EXPECT_EQ(delivered_[0].y, 90.0);
    EXPECT_EQ(delivered_[0].temperature, 8500 * 0.01);
    EXPECT_EQ(delivered_[1].temperature, -4000 * 0.01);
    EXPECT_EQ(path_.Miscount(), 4);
}

TEST_F(ModbusReceiveTest, ChangedDecodeParametersApplyToTheNextReply) {
    FeedModbus(kModbusReply);
    params_.ResolutionFactor = 0.001f;
    params_.XRangeOffset = 0.0f;
    params_.YRangeOffset = 0.0f;
    FeedModbus(kModbusReply);
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].x, 12.345000267028809);
    EXPECT_EQ(delivered_[1].y, static_cast<double>(9000 * 0.001f));
}

TEST_F(ModbusReceiveTest, WriteEchoWithValidCrcIsPassedOnUncounted) {
    const auto echo = BuildModbusWrite(1, kModbusRegZero, 0xFF);
    FeedModbus(echo);
    ASSERT_EQ(echoes_.size(), 1u);
    EXPECT_EQ(echoes_[0], echo);
    EXPECT_EQ(path_.FramesThisSecond(), 0);
    EXPECT_TRUE(path_.ReplySeen());
    EXPECT_EQ(path_.PendingTrafficText(), "Rx: 01 06 00 10 00 ff c8 4f \r\n");
}

TEST_F(ModbusReceiveTest, WriteEchoWithBadCrcIsIgnoredAndNotCounted) {
    FeedModbus("01 06 00 10 00 FF C8 4E");
    EXPECT_TRUE(echoes_.empty());
    EXPECT_EQ(path_.Miscount(), 0);
    EXPECT_EQ(path_.FramesThisSecond(), 0);
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
}

TEST_F(ModbusReceiveTest, FrameCarriedAcrossAProtocolSwitchIsNoAcknowledgement) {
    // A write echo begun under Modbus, finished by frame-protocol bytes whose
    // checksum happens to hold: seven bytes, not an acknowledgement.
    FeedModbus("01 06");
    FeedTarq("00 00 00 00 06");
    EXPECT_EQ(path_.ReceiveState(), ReceivePath::kIdle);
    EXPECT_TRUE(acks_.empty());
    EXPECT_TRUE(echoes_.empty());
}

TEST_F(ModbusReceiveTest, TransmissionMidReplyAbandonsIt) {
    FeedModbus("01 03 0A 39");
    Transmit(BuildModbusRead(1));
    FeedModbus("30 00 00 28 23 00 00 09 CE E4 4C");
    EXPECT_TRUE(delivered_.empty());
    EXPECT_EQ(path_.PendingTrafficText(), "Rx: 01 03 0a 39 Tx: 01 03 00 02 00 04 e5 c9 \r\n");
    // The answer to the request is read whole, and the cut one was no miscount.
    FeedModbus(kModbusReply);
    EXPECT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(path_.Miscount(), 0);
}

// ---- Dispatch ------------------------------------------------------------------

TEST_F(ModbusReceiveTest, BlocksGoToTheAssemblerTheirMessageNames) {
    const auto modbus = Hex(kModbusReply);
    const auto tarq = Hex(kTarqReply);
    RxBlockInfo info;
    info.count = static_cast<uint32_t>(modbus.size());
    path_.OnRxBlock(MSG_RX_TARQ, modbus.data(), info);
    EXPECT_TRUE(delivered_.empty());
    path_.OnRxBlock(MSG_RX_MODBUS, modbus.data(), info);
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].x, 33.44999694824219);
    info.count = static_cast<uint32_t>(tarq.size());
    path_.OnRxBlock(MSG_RX_TARQ, tarq.data(), info);
    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].x, 1234 * kR);
    // Anything that is not Modbus is read as the frame protocol.
    path_.OnRxBlock(0, tarq.data(), info);
    EXPECT_EQ(delivered_.size(), 3u);
}

TEST(ReceivePathHandlersTest, EveryHandlerMayBeLeftEmpty) {
    DecodeParameters params;
    ReceivePath path(params, ReceiveHandlers{});
    path.SetDeviceAddress(1);
    const auto tarq = Hex(kTarqReply + " 68 05 00 85 00 8A");
    path.OnRxTarq(tarq.data(), tarq.size());
    const auto modbus = Concat(Hex(kModbusReply), BuildModbusWrite(1, kModbusRegZero, 0));
    path.OnRxModbus(modbus.data(), modbus.size());
    EXPECT_EQ(path.FramesThisSecond(), 2);
    EXPECT_EQ(path.LastMeasurement().x, 33.44999694824219);
    // No channel attached: the request is still echoed.
    path.SetLinkOpen(true);
    const auto request = BuildModbusRead(1);
    path.OnTxFrame(request.data(), request.size());
    EXPECT_EQ(path.ReceiveState(), ReceivePath::kIdleAfterTransmit);
}

}  // namespace

namespace {

// A Modbus collection cut by a protocol switch can end in a frame-protocol
// acknowledgement state; six bytes with a right sum are still no acknowledgement
// unless their length byte says 5.
TEST(ReceivePathAcrossSwitch, PatchedFrameIsNoAcknowledgement) {
    DecodeParameters params;
    int acks = 0;
    ReceiveHandlers handlers;
    handlers.OnTarqAcknowledge = [&acks](const uint8_t*, size_t) { ++acks; };
    ReceivePath path(params, handlers);
    path.SetDeviceAddress(1);
    const auto modbus = Hex("5b 01 00 01 06 0f");
    path.OnRxModbus(modbus.data(), modbus.size());
    const auto tarq = Hex("16");
    path.OnRxTarq(tarq.data(), tarq.size());
    EXPECT_EQ(acks, 0);
    EXPECT_EQ(path.ReceiveState(), ReceivePath::kIdle);
}

}  // namespace
