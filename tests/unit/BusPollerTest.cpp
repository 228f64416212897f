#include <gtest/gtest.h>

#include "BusPoller.h"

namespace {

using namespace std::chrono_literals;
using Clock = BusPoller::Clock;

const Clock::time_point t0 = Clock::time_point() + 1h;

TEST(BusPollerTest, OneRequestAtATimeAndTheNextAsSoonAsTheReplyIsWhole) {
    BusPoller bus({1, 2, 3}, 200ms, 50ms);
    bus.Restart(t0);
    EXPECT_EQ(bus.Due(t0), 1);
    EXPECT_EQ(bus.Due(t0 + 1ms), std::nullopt);
    EXPECT_EQ(bus.NextDue(), t0 + 50ms);
    bus.OnReply(1, t0 + 3ms);
    EXPECT_EQ(bus.NextDue(), t0 + 3ms);
    EXPECT_EQ(bus.Due(t0 + 3ms), 2);
    bus.OnReply(2, t0 + 6ms);
    EXPECT_EQ(bus.Due(t0 + 6ms), 3);
    bus.OnReply(3, t0 + 9ms);
    // Each sensor once per interval: the next round waits for its time.
    EXPECT_EQ(bus.Due(t0 + 9ms), std::nullopt);
    EXPECT_EQ(bus.NextDue(), t0 + 200ms);
    EXPECT_EQ(bus.Due(t0 + 201ms), 1);
    for (const BusPoller::Sensor& s : bus.Sensors()) {
        EXPECT_EQ(s.replies, 1u);
        EXPECT_EQ(s.missed, 0u);
    }
}

TEST(BusPollerTest, AnAbsentSensorCostsOneTimeOutPerRoundAndIsToldOnceEachWay) {
    BusPoller bus({1, 4}, 100ms, 30ms);
    bus.Restart(t0);
    Clock::time_point now = t0;
    std::vector<BusPoller::News> news;
    for (int round = 0; round < 6; ++round) {
        ASSERT_EQ(bus.Due(now), 1) << round;
        bus.OnReply(1, now + 2ms);
        ASSERT_EQ(bus.Due(now + 2ms), 4);
        EXPECT_EQ(bus.Due(now + 31ms), std::nullopt);
        ASSERT_EQ(bus.Due(now + 32ms), std::nullopt);  // time-out passed, round done
        for (const auto& n : bus.TakeNews()) news.push_back(n);
        now += 100ms;
    }
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].kind, BusPoller::NewsKind::Silent);
    EXPECT_EQ(news[0].address, 4);
    EXPECT_EQ(bus.Sensors()[1].missed, 6u);
    EXPECT_EQ(bus.Sensors()[0].replies, 6u);

    ASSERT_EQ(bus.Due(now), 1);
    bus.OnReply(1, now + 2ms);
    ASSERT_EQ(bus.Due(now + 2ms), 4);
    bus.OnReply(4, now + 4ms);
    news = bus.TakeNews();
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].kind, BusPoller::NewsKind::AnswersAgain);
    EXPECT_FALSE(bus.Sensors()[1].silent);
}

TEST(BusPollerTest, ALateReplyFromTheLastSensorDoesNotEndTheTurnOfTheNext) {
    BusPoller bus({1, 2}, 100ms, 30ms);
    bus.Restart(t0);
    ASSERT_EQ(bus.Due(t0), 1);
    ASSERT_EQ(bus.Due(t0 + 30ms), 2);  // 1 timed out
    bus.OnReply(1, t0 + 35ms);
    EXPECT_EQ(bus.AwaitedAddress(), 2);
    EXPECT_EQ(bus.Sensors()[0].replies, 0u);
    bus.OnReply(9, t0 + 36ms);  // not on the list
    EXPECT_EQ(bus.AwaitedAddress(), 2);
    bus.OnReply(2, t0 + 37ms);
    EXPECT_FALSE(bus.Awaiting());
}

TEST(BusPollerTest, ABadReplyEndsTheTurnAtOnceAsAMissWithoutSilence) {
    BusPoller bus({1, 2}, 100ms, 30ms);
    bus.Restart(t0);
    for (int i = 0; i < 5; ++i) {
        const Clock::time_point round = t0 + i * 100ms;
        ASSERT_EQ(bus.Due(round), 1);
        bus.OnBadReply(round + 2ms);
        ASSERT_EQ(bus.Due(round + 2ms), 2);
        bus.OnReply(2, round + 4ms);
    }
    EXPECT_EQ(bus.Sensors()[0].missed, 5u);
    EXPECT_FALSE(bus.Sensors()[0].silent);
    EXPECT_TRUE(bus.TakeNews().empty());
}

TEST(BusPollerTest, AReplyStillArrivingAtItsTimeOutIsGrantedOneMoreTimeOut) {
    BusPoller bus({1, 2}, 100ms, 30ms);
    bus.Restart(t0);
    ASSERT_EQ(bus.Due(t0), 1);
    EXPECT_EQ(bus.Due(t0 + 30ms, true), std::nullopt);
    EXPECT_EQ(bus.NextDue(), t0 + 60ms);
    // Granted once: a line that never stops does not hold the bus.
    EXPECT_EQ(bus.Due(t0 + 60ms, true), 2);
    EXPECT_EQ(bus.Sensors()[0].missed, 1u);
}

TEST(BusPollerTest, ALateRoundStartsAtOnceAndAnOnTimeRoundKeepsItsPhase) {
    BusPoller bus({1}, 100ms, 30ms);
    bus.Restart(t0);
    ASSERT_EQ(bus.Due(t0), 1);
    bus.OnReply(1, t0 + 2ms);
    // Woken 3 ms late: the round after is still due at t0 + 200 ms.
    ASSERT_EQ(bus.Due(t0 + 103ms), 1);
    bus.OnReply(1, t0 + 105ms);
    EXPECT_EQ(bus.NextDue(), t0 + 200ms);
    // A process stopped for a second: one request now, then the interval again.
    ASSERT_EQ(bus.Due(t0 + 1200ms), 1);
    bus.OnReply(1, t0 + 1202ms);
    EXPECT_EQ(bus.NextDue(), t0 + 1300ms);
}

TEST(BusPollerTest, TheDerivedTimeOutCoversTheLineTimeOfBothFramesTwice) {
    // 24 bytes of 10 bits at 9600 baud are 25 ms on the wire.
    EXPECT_EQ(DerivedReplyTimeout(9600, 10, 6, 18), 100ms);
    EXPECT_EQ(DerivedReplyTimeout(2400, 11, 8, 18), 289ms);
    EXPECT_GE(DerivedReplyTimeout(230400, 10, 6, 18), 50ms);
}

}  // namespace
