#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <string>

#include "LinkHealth.h"

namespace {

using namespace std::chrono_literals;
using State = LinkHealth::State;

// Steady and wall time moving together, by hand.
class HandClock : public HealthClock {
public:
    std::chrono::steady_clock::time_point Steady() const override { return steady; }
    std::chrono::system_clock::time_point Wall() const override {
        return std::chrono::system_clock::from_time_t(1'800'000'000) +
               std::chrono::duration_cast<std::chrono::system_clock::duration>(
                   steady.time_since_epoch());
    }
    std::string WallText() const {
        const std::time_t now = std::chrono::system_clock::to_time_t(Wall());
        char text[16];
        std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
        return text;
    }
    std::chrono::steady_clock::time_point steady{};
};

class LinkHealthTest : public ::testing::Test {
protected:
    std::string Text(bool chinese = false) const {
        return LinkHealthText(health.Report(), chinese);
    }
    // Polls 200 ms apart; when `answered`, each has its reply 100 ms later.
    void Poll(int polls, bool answered) {
        for (int i = 0; i < polls; ++i) {
            health.RequestSent();
            clock.steady += 100ms;
            if (answered) health.ReplyReceived();
            clock.steady += 100ms;
        }
    }

    HandClock clock;
    LinkHealth health{clock, 1000ms};
};

TEST_F(LinkHealthTest, AnsweringFallsSilentAfterFiveUnansweredPollsAndAnswersAgain) {
    EXPECT_EQ(Text(), "Closed");
    health.Opened(5);
    EXPECT_EQ(Text(), "Open, waiting for a reply");
    Poll(5, true);
    health.Tick();
    EXPECT_EQ(Text(), "Answering, 5 Hz");
    EXPECT_EQ(Text(true), "应答中，5 Hz");
    clock.steady -= 100ms;
    const std::string lastReply = clock.WallText();
    clock.steady += 100ms;

    Poll(5, false);
    EXPECT_EQ(health.Now(), State::Answering) << "four polls unanswered, the fifth awaited";
    health.RequestSent();
    EXPECT_FALSE(health.Live());
    EXPECT_EQ(Text(), "Silent: 5 polls unanswered, last reply " + lastReply);
    EXPECT_EQ(Text(true), "无应答：5 次轮询未应答，最后应答 " + lastReply);
    health.ReplyReceived();
    EXPECT_EQ(health.Now(), State::Answering);
}

TEST_F(LinkHealthTest, ASensorThatNeverAnswersOrStopsSendingUnaskedIsSilent) {
    health.Opened(5);
    Poll(6, false);
    EXPECT_EQ(Text(), "Silent: 5 polls unanswered, never answered");
    EXPECT_EQ(Text(true), "无应答：5 次轮询未应答，从未应答");

    // Nothing asked (polling off): a second without a frame is silence too.
    health.Opened(5);
    health.ReplyReceived();
    const std::string lastReply = clock.WallText();
    clock.steady += 999ms;
    health.Tick();
    EXPECT_EQ(health.Now(), State::Answering);
    clock.steady += 3000ms;
    health.Tick();
    EXPECT_EQ(Text(), "Silent: nothing received for 3 s, last reply " + lastReply);
}

TEST_F(LinkHealthTest, ALostLinkTellsTheSystemsReasonUntilItsPortIsOpenAgain) {
    health.Opened(5);
    Poll(2, true);
    health.Lost(LinkLoss{ENODEV, false, false});
    EXPECT_EQ(Text(), "Lost: the device was removed (No such device)");
    EXPECT_EQ(Text(true), "已断开：设备已被移除 (No such device)");
    health.Reopening();
    health.RequestSent();  // nothing of a link that is gone counts
    EXPECT_EQ(Text(), "Waiting to reopen COM5; lost: the device was removed (No such device)");
    EXPECT_EQ(Text(true), "等待重新打开 COM5；已断开：设备已被移除 (No such device)");
    health.Opened(5);
    EXPECT_EQ(health.Now(), State::Waiting);
    health.Closed();
    EXPECT_EQ(Text(true), "已关闭");

    EXPECT_EQ(LossReason(LinkLoss{EIO, false, true}, false),
              "the device was removed (Input/output error)");
    EXPECT_EQ(LossReason(LinkLoss{EIO, false, false}, false),
              "the line hung up (Input/output error)");
    EXPECT_EQ(LossReason(LinkLoss{0, true, false}, false), "the server closed the connection");
}

TEST(ServerWords, ALineOfTextEndsTheStreamOrNothingIsSaid) {
    const std::string said = "Device open failure: Value or file not found\r\n";
    std::vector<uint8_t> tail{0x01, 0x03, 0x0A, 0xFF};
    tail.insert(tail.end(), said.begin(), said.end());
    EXPECT_EQ(ServerWords(tail), "Device open failure: Value or file not found");
    // A frame-protocol reply is printable by chance, but no line of words.
    EXPECT_EQ(ServerWords({0x68, 0x0D, 0x00, 0x84, 0x41, 0x42, 0x20, 0x61, 0x62, 0x33}), "");
}

}  // namespace
