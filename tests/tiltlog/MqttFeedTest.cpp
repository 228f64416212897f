#include <gtest/gtest.h>

#include <string>

#include "MqttPublisher.h"
#include "PublishQueue.h"
#include "RowJson.h"

namespace {

FeedMessage Row(int n) {
    return {"site/1", "row " + std::to_string(n)};
}

// Sends what the queue offers, as the connection does, and returns the ids.
std::vector<int> SendAll(PublishQueue& q, int firstMid) {
    std::vector<int> mids;
    while (auto next = q.NextToSend()) {
        q.MarkSent(next->sequence, firstMid);
        mids.push_back(firstMid++);
    }
    return mids;
}

// Room for `n` rows such as Row makes.
size_t RoomFor(int n) {
    return static_cast<size_t>(n) * PublishQueue::BytesOf(Row(1));
}

std::vector<std::string> Offered(PublishQueue& q) {
    std::vector<std::string> payloads;
    while (auto next = q.NextToSend()) {
        payloads.push_back(next->message.payload);
        q.MarkSent(next->sequence, 0);
    }
    return payloads;
}

TEST(PublishQueue, WhatALostConnectionDidNotAcknowledgeGoesOutAgainFirstAndInOrder) {
    PublishQueue q(RoomFor(100));
    for (int n = 1; n <= 4; ++n) q.Push(Row(n));
    const std::vector<int> mids = SendAll(q, 10);
    q.Acknowledge(mids[0]);
    q.Acknowledge(mids[2]);  // row 3 is with the broker, row 2 is not
    q.Push(Row(5));
    q.Unsend();
    EXPECT_EQ(q.Held(), 4u);  // row 3 leaves after row 2, acknowledged
    EXPECT_EQ(Offered(q), (std::vector<std::string>{"row 2", "row 4", "row 5"}));
}

TEST(PublishQueue, RowsLeaveOnlyOnceEveryOlderRowIsAcknowledged) {
    PublishQueue q(RoomFor(100));
    for (int n = 1; n <= 3; ++n) q.Push(Row(n));
    const std::vector<int> mids = SendAll(q, 1);
    q.Acknowledge(mids[1]);
    q.Acknowledge(mids[1]);  // twice: counted once
    EXPECT_EQ(q.Held(), 3u);
    q.Acknowledge(mids[0]);
    EXPECT_EQ(q.Held(), 1u);
    EXPECT_EQ(q.InFlight(), 1u);
    EXPECT_EQ(q.Acknowledged(), 2u);
    q.Acknowledge(999);  // a status message, not a row
    EXPECT_EQ(q.Acknowledged(), 2u);
}

TEST(PublishQueue, AFullQueueDropsTheOldestAndCountsThem) {
    PublishQueue q(RoomFor(3));
    EXPECT_FALSE(q.Push(Row(1)));
    q.Push(Row(2));
    q.Push(Row(3));
    // Row 1 is on its way when row 4 comes: the sender's mark must not land on row 2.
    const auto sending = q.NextToSend();
    EXPECT_TRUE(q.Push(Row(4)));
    q.MarkSent(sending->sequence, 7);
    EXPECT_TRUE(q.Push(Row(5)));
    EXPECT_EQ(q.Dropped(), 2u);
    EXPECT_EQ(Offered(q), (std::vector<std::string>{"row 3", "row 4", "row 5"}));
}

TEST(RowJson, CarriesTheRowsOwnTextsAndNullForAValueNeverSent) {
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 9;
    t.hour = 13;
    t.minute = 7;
    t.second = 3;
    t.millisecond = 45;
    t.utcOffsetMinutes = 60;
    EXPECT_EQ(RowJson(0, "1.25", "-0.37", "", t),
              R"({"address": 0, "x": 1.25, "y": -0.37, "temperature": null, )"
              R"("time": "2026-12-09T13:07:03.045+01:00"})");
    t.utcOffsetMinutes = -(3 * 60 + 30);
    EXPECT_EQ(RowJson(12, "nan", "-inf", "23.5", t),
              R"({"address": 12, "x": null, "y": null, "temperature": 23.5, )"
              R"("time": "2026-12-09T13:07:03.045-03:30"})");
}

TEST(MqttPublisher, TheDefaultClientIdNamesTheBoxAndThePort) {
    EXPECT_EQ(MqttPublisher::DefaultClientId("site-7", "/dev/ttyUSB0"), "tiltlog-site-7-ttyUSB0");
    EXPECT_EQ(MqttPublisher::DefaultClientId("box", "tcp://10.0.0.5:4001"),
              "tiltlog-box-tcp---10.0.0.5-4001");
    EXPECT_EQ(MqttPublisher::DefaultClientId("", "COM3"), "tiltlog-localhost-COM3");
}

}  // namespace

namespace {
TEST(PublishQueue, ARowTheBrokerAcknowledgesIsPublishedEvenWhenTheQueueWasFull) {
    PublishQueue q(RoomFor(3));
    for (int n = 1; n <= 3; ++n) q.Push(Row(n));
    const std::vector<int> mids = SendAll(q, 1);
    EXPECT_TRUE(q.Push(Row(4)));  // no room: a row not yet sent is the one given up
    for (int mid : mids) q.Acknowledge(mid);
    EXPECT_EQ(q.Acknowledged(), 3u);
    EXPECT_EQ(q.Dropped(), 1u);
}
}  // namespace
