#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "CsvFollower.h"
#include "FeedPositionFile.h"
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

// A server that takes the connection and never says a word: the feed names the
// time-out it met, not "Unknown error".
TEST(MqttPublisher, ABrokerThatNeverAcceptsIsToldAsAConnackTimeOut) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &len), 0);
    MqttSettings settings;
    std::string error;
    ASSERT_TRUE(ParseMqttUrl("mqtt://127.0.0.1:" + std::to_string(ntohs(at.sin_port)) + "/site",
                             settings.target, error));
    settings.clientId = "silent-test";
    settings.keepAliveSeconds = 5;  // the library's shortest
    MqttPublisher feed(settings);
    ASSERT_TRUE(feed.Start(error)) << error;
    std::string said;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (said.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const std::string& m : feed.TakeMessages()) said += m;
        if (said.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(said.find("did not accept it (no CONNACK) within the keep-alive time (5 s)"),
              std::string::npos)
        << said;
    feed.Finish(std::chrono::milliseconds(0));
    ::close(listener);
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

namespace {

class FeedFiles : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tiltlog-feed-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ + "/" + name, std::ios::binary | std::ios::app) << text;
    }
    static std::string Line(const std::string& x) {
        return x + ",0.50,21.00,2026-12-11 1:0:0'5 \r\n";
    }
    // The x of every row there is now.
    static std::string Read(CsvFollower& f) {
        std::string xs, error;
        CsvFollower::Row row;
        while (f.Next(row, error) == CsvFollower::Step::Row) xs += row.x + " ";
        return xs + error;
    }
    std::string dir_;
};

TEST_F(FeedFiles, RowsAreReadBackInOrderAcrossContinuedFilesAndOnlyWhole) {
    const std::string header = "X(deg),Y(deg),Temperature, Time\r\n";
    Write("S_20261211010000.csv", header + Line("1") + Line("2") + Line("3") + "4.00,0.5");
    Write("S_20261211010000-2.csv", Line("5") + Line("6"));  // a piece without its header
    Write("S_20261211020000.csv", header + Line("7"));
    Write("S_A1_20261211010000.csv", header + Line("99"));  // another address's
    EXPECT_EQ(CsvFilesOf(dir_, "S"),
              (std::vector<std::string>{"S_20261211010000.csv", "S_20261211010000-2.csv",
                                        "S_20261211020000.csv"}));
    CsvFollower f(dir_, "S");
    std::string note;
    const FeedPosition at{"S_20261211010000.csv", 2};
    f.Begin(&at, note);
    EXPECT_EQ(note, "");
    EXPECT_EQ(Read(f), "3 5 6 7 ");  // the cut "4.00,0.5" is no row
    EXPECT_FALSE(f.InRun());
    // This run's file, its last row still being written.
    Write("S_20261211030000.csv", header + Line("8") + "9.00,0.5");
    EXPECT_EQ(Read(f), "8 ");
    Write("S_20261211030000.csv", "0,21.00,2026-12-11 1:0:0'5 \r\n");
    EXPECT_EQ(Read(f), "9.00 ");
    EXPECT_EQ(f.RunRows(), 2u);
    EXPECT_EQ(f.Where(), (FeedPosition{"S_20261211030000.csv", 2}));
}

TEST_F(FeedFiles, APositionNamingAGoneFileGoesOnFromTheNextAndOneBeyondTheFilesStopsAtTheirEnd) {
    const std::string header = "X(deg),Y(deg),Temperature, Time\r\n";
    Write("S_20261211010000.csv", header + Line("1"));
    Write("S_20261211020000.csv", header + Line("2") + Line("3"));
    CsvFollower f(dir_, "S");
    std::string note;
    const FeedPosition gone{"S_20261211013000.csv", 5};
    f.Begin(&gone, note);
    EXPECT_NE(note.find("S_20261211013000.csv in " + dir_ +
                        ", which is gone; the feed goes on from S_20261211020000.csv"),
              std::string::npos)
        << note;
    EXPECT_EQ(Read(f), "2 3 ");
    // A killed run's position may count rows the broker had and no file kept.
    const FeedPosition beyond{"S_20261211010000.csv", 9};
    f.Begin(&beyond, note);
    Write("S_20261211030000.csv", header + Line("4"));
    EXPECT_EQ(Read(f), "4 ");
    EXPECT_EQ(f.RunRows(), 1u);
}

TEST_F(FeedFiles, APositionIsReadBackAsWrittenAndAnythingElseIsRefused) {
    const std::string path = FeedPositionPath(dir_, "S");
    FeedPosition read;
    std::string error;
    EXPECT_EQ(ReadFeedPosition(path, read, error), PositionRead::Missing);
    ASSERT_TRUE(WriteFeedPosition(path, {"S_20261211010000.csv", 1234}, error)) << error;
    EXPECT_EQ(ReadFeedPosition(path, read, error), PositionRead::Read);
    EXPECT_EQ(read, (FeedPosition{"S_20261211010000.csv", 1234}));
    Write("S.mqtt-position", "rows 3\n");
    EXPECT_EQ(ReadFeedPosition(path, read, error), PositionRead::Unreadable);
    EXPECT_EQ(error, path + " is not a feed position");
    EXPECT_FALSE(WriteFeedPosition(dir_ + "/none/S.mqtt-position", read, error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

}  // namespace
