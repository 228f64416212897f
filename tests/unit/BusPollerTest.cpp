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

TEST(BusPollerTest, AReplyIsFiledOnlyForTheRequestItAnswersAndAnyOtherIsToldOnce) {
    BusPoller bus({1, 2, 3}, 100ms, 30ms);
    bus.Restart(t0);
    using V = BusPoller::Verdict;
    ASSERT_EQ(bus.Due(t0), 1);
    ASSERT_EQ(bus.Due(t0 + 30ms), 2);                // 1 timed out
    EXPECT_EQ(bus.OnReply(1, t0 + 35ms), V::Filed);  // late, before 2's reply
    EXPECT_EQ(bus.AwaitedAddress(), 2);
    EXPECT_EQ(bus.OnReply(3, t0 + 36ms), V::NotAsked);
    EXPECT_EQ(bus.OnReply(9, t0 + 36ms), V::NotAsked);  // not on the list
    EXPECT_EQ(bus.OnReply(2, t0 + 37ms), V::Filed);
    EXPECT_EQ(bus.OnReply(2, t0 + 38ms), V::Duplicate);
    EXPECT_EQ(bus.OnReply(1, t0 + 38ms), V::NotAsked);  // too late: 2 has answered since
    EXPECT_EQ(bus.OnReply(2, t0 + 39ms), V::Duplicate);
    EXPECT_EQ(bus.Sensors()[0].replies, 1u);
    EXPECT_EQ(bus.Sensors()[1].duplicates, 2u);
    const std::vector<BusPoller::News> news = bus.TakeNews();
    ASSERT_EQ(news.size(), 4u);  // 3 and 9 when 2 was asked, two at 2, 1 unasked
    EXPECT_EQ(news[0].kind, BusPoller::NewsKind::NotAsked);
    EXPECT_EQ(news[0].asked, 2);
    EXPECT_EQ(news[2].kind, BusPoller::NewsKind::TwoSensors);
    EXPECT_EQ(news[3].asked, std::nullopt);
}

TEST(BusPollerTest, ASensorWhoseEveryReplyFailsItsCheckFallsSilentLikeOneThatSaysNothing) {
    BusPoller bus({1, 2}, 100ms, 30ms);
    bus.Restart(t0);
    std::vector<BusPoller::News> news;
    for (int i = 0; i < 5; ++i) {
        const Clock::time_point round = t0 + i * 100ms;
        ASSERT_EQ(bus.Due(round), 1);
        bus.OnBadReply(round + 2ms);  // the turn ends at once all the same
        ASSERT_EQ(bus.Due(round + 2ms), 2);
        bus.OnReply(2, round + 4ms);
        for (const auto& n : bus.TakeNews()) news.push_back(n);
    }
    EXPECT_EQ(bus.Sensors()[0].missed, 5u);
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].kind, BusPoller::NewsKind::Silent);
    EXPECT_EQ(news[0].address, 1);
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

TEST(BusPollerTest, AWindowKeepsSeveralRequestsAwaitedEachWithItsOwnTimeOut) {
    BusPoller bus({1, 2, 3, 4}, 100ms, 30ms, 3);
    bus.Restart(t0);
    using V = BusPoller::Verdict;
    EXPECT_EQ(bus.Due(t0), 1);
    EXPECT_EQ(bus.Due(t0), 2);
    EXPECT_EQ(bus.Due(t0 + 1ms), 3);
    EXPECT_EQ(bus.Due(t0 + 1ms), std::nullopt);  // the window is full
    EXPECT_EQ(bus.NextDue(), t0 + 30ms);
    EXPECT_EQ(bus.OnReply(2, t0 + 5ms), V::Filed);
    EXPECT_EQ(bus.Due(t0 + 5ms), 4);
    // 1 and 3 time out; the round is over, so nothing more until its interval.
    EXPECT_EQ(bus.Due(t0 + 31ms), std::nullopt);
    EXPECT_EQ(bus.Sensors()[0].missed, 1u);
    EXPECT_EQ(bus.Sensors()[2].missed, 1u);
    EXPECT_EQ(bus.OnReply(3, t0 + 32ms), V::Filed);  // late, before any later reply
    EXPECT_EQ(bus.OnReply(4, t0 + 33ms), V::Filed);
    EXPECT_EQ(bus.OnReply(1, t0 + 34ms), V::NotAsked);  // later ones have answered
    EXPECT_EQ(bus.NextDue(), t0 + 100ms);
    EXPECT_EQ(bus.Due(t0 + 100ms), 1);
    EXPECT_EQ(bus.Due(t0 + 100ms), 2);
}

TEST(BusPollerTest, TheDerivedTimeOutCoversTheLineTimeOfBothFramesTwice) {
    // 24 bytes of 10 bits at 9600 baud are 25 ms on the wire.
    EXPECT_EQ(DerivedReplyTimeout(9600, 10, 6, 18), 100ms);
    EXPECT_EQ(DerivedReplyTimeout(2400, 11, 8, 18), 289ms);
    EXPECT_GE(DerivedReplyTimeout(230400, 10, 6, 18), 50ms);
}

TEST(BusPollerTest, ARoundLongerThanTheIntervalIsToldOnceWithItsLength) {
    BusPoller bus({1, 2, 3}, 200ms, 100ms);
    bus.Restart(t0);
    std::vector<BusPoller::News> news;
    ASSERT_EQ(bus.Due(t0), 1);
    for (Clock::time_point round = t0; round < t0 + 2s; round += 205ms) {
        bus.OnReply(1, round + 5ms);
        ASSERT_EQ(bus.Due(round + 5ms), 2);
        ASSERT_EQ(bus.Due(round + 105ms), 3);  // 2 and 3 are absent
        ASSERT_EQ(bus.Due(round + 205ms), 1);  // the next round at once
        for (const auto& n : bus.TakeNews())
            if (n.kind == BusPoller::NewsKind::LongRound) news.push_back(n);
    }
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].length, 205ms);
}

TEST(ReplyTimeoutTest, TheLineTimePlusTheNetworksRoundTripWithinBounds) {
    // 5 + 18 bytes of 10 bits at 9600 baud: 24 ms on the wire, 98 ms for the line.
    ReplyTimeout t(9600, 10, 5, 18);
    EXPECT_EQ(t.Current(), 98ms);
    t.Seed(40ms);  // a connection set up in 40 ms: 98 + 40 + 4 x 20
    EXPECT_EQ(t.Current(), 218ms);
    for (int i = 0; i < 50; ++i) t.Sample(144ms);  // 120 ms of network, steady
    EXPECT_GE(t.Current(), 98ms + 120ms);
    EXPECT_LE(t.Current(), 98ms + 130ms);
    t.Sample(30s);  // a stall is bounded
    EXPECT_EQ(t.Current(), 98ms + ReplyTimeout::kMostNetwork);
    ReplyTimeout fixed(250ms);
    fixed.Sample(2s);
    EXPECT_EQ(fixed.Current(), 250ms);
}

}  // namespace
