#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MqttBroker.h"
#include "SimServer.h"
#include "TiltlogRig.h"

namespace {

// A row as its CSV line has it, time stamp included.
struct StampedRow {
    std::string x, y, t, stamp;
    bool operator==(const StampedRow& o) const {
        return x == o.x && y == o.y && t == o.t && stamp == o.stamp;
    }
};

// The whole rows of the CSV files, the files in the order they were begun.
std::vector<StampedRow> FileRows(const std::string& folder) {
    std::vector<StampedRow> rows;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (e.path().extension() == ".csv") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        std::getline(in, line);  // the header
        while (std::getline(in, line)) {
            // A killed run's last line may be cut short: no row.
            if (line.empty() || line.back() != '\r') continue;
            line.pop_back();
            std::vector<std::string> f;
            std::stringstream fields(line);
            for (std::string v; std::getline(fields, v, ',');) f.push_back(v);
            if (f.size() == 4) rows.push_back({f[0], f[1], f[2], f[3]});
        }
    }
    return rows;
}

std::string LocalOffset() {
    const time_t now = ::time(nullptr);
    tm parts{};
    ::localtime_r(&now, &parts);
    const long minutes = parts.tm_gmtoff / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", minutes < 0 ? '-' : '+',
                  std::labs(minutes) / 60, std::labs(minutes) % 60);
    return text;
}

// The payload read back into the CSV's own terms: null is an empty field, and
// the ISO time is the row's stamp as the file writes it.
bool FromJson(const std::string& payload, uint8_t address, StampedRow& row) {
    static const std::regex kJson(
        R"re(\{"address": (\d+), "x": ([^,]+), "y": ([^,]+), "temperature": ([^,]+), )re"
        R"re("time": "(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{3})([+-]\d\d:\d\d)"\})re");
    std::smatch m;
    if (!std::regex_match(payload, m, kJson)) return false;
    if (std::stoi(m[1]) != address || m[12] != LocalOffset()) return false;
    const auto value = [](const std::string& v) { return v == "null" ? std::string() : v; };
    const auto n = [&m](int i) { return std::to_string(std::stoi(m[i])); };
    row = {
        value(m[2]), value(m[3]), value(m[4]),
        n(5) + "-" + n(6) + "-" + n(7) + " " + n(8) + ":" + n(9) + ":" + n(10) + "'" + n(11) + " "};
    return true;
}

// Every row of the file arrived, in the file's order; a row again that the
// broker had already given (QoS 1 after a lost acknowledgement) is counted.
void ExpectEveryRowInOrder(const std::vector<StampedRow>& rows,
                           const std::vector<MqttSubscriber::Message>& messages,
                           const std::string& topic, uint8_t address, size_t* duplicates,
                           bool all = true) {
    size_t next = 0;
    *duplicates = 0;
    for (const MqttSubscriber::Message& m : messages) {
        if (m.topic != topic) continue;
        StampedRow row;
        ASSERT_TRUE(FromJson(m.payload, address, row)) << m.payload;
        if (next < rows.size() && row == rows[next]) {
            ++next;
            continue;
        }
        bool seen = false;
        for (size_t i = 0; i < next && !seen; ++i) seen = rows[i] == row;
        ASSERT_TRUE(seen) << "row " << next << " of " << rows.size() << " expected, got "
                          << m.payload;
        ++*duplicates;
    }
    if (all) {
        EXPECT_EQ(next, rows.size());
    }
}

std::vector<std::string> Statuses(const std::vector<MqttSubscriber::Message>& messages,
                                  const std::string& topic) {
    std::vector<std::string> seen;
    for (const auto& m : messages) {
        if (m.topic == topic) seen.push_back(m.payload);
    }
    return seen;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

size_t Rows(const MqttSubscriber& sub, const std::string& topic) {
    size_t n = 0;
    for (const auto& m : sub.Messages()) n += m.topic == topic;
    return n;
}

TEST(TiltlogMqtt, EveryRowArrivesAsItsJsonInOrderWithItsStatus) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    MqttSubscriber sub(broker.Port(), "site/#");
    ASSERT_TRUE(sub.WaitSubscribed());
    SimServer server;
    ASSERT_TRUE(server.Listening());
    const std::string out = TempFolder();
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "20", "--count", "40", "--output", out,
               "--mqtt", broker.Url("", "site")});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    ASSERT_TRUE(sub.WaitFor("site/0", 40)) << rig.err;
    ASSERT_TRUE(sub.WaitFor("site/0/status", 2));
    const std::vector<StampedRow> rows = FileRows(out);
    ASSERT_EQ(rows.size(), 40u);
    size_t duplicates = 0;
    ExpectEveryRowInOrder(rows, sub.Messages(), "site/0", 0, &duplicates);
    EXPECT_EQ(duplicates, 0u);
    EXPECT_EQ(Statuses(sub.Messages(), "site/0/status"),
              (std::vector<std::string>{"online", "offline"}));
    EXPECT_EQ(Count(rig.err, "publishing to mqtt://127.0.0.1:" + std::to_string(broker.Port()) +
                                 "/site as client 'tiltlog-"),
              1u)
        << rig.err;
    std::filesystem::remove_all(out);
}

// Memory takes a few rows only: the rest are read back from the file.
TEST(TiltlogMqtt, ABrokerAwayForSixSecondsLosesNoRow) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    MqttSubscriber sub(broker.Port(), "site/#");
    ASSERT_TRUE(sub.WaitSubscribed());
    SimServer server;
    const std::string out = TempFolder();
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "20", "--output", out, "--mqtt",
               broker.Url("", "site"), "--mqtt-queue", "8k"},
              true);
    ASSERT_TRUE(sub.WaitFor("site/0", 20)) << rig.err;

    broker.Stop();
    ASSERT_TRUE(rig.WaitForError("connection lost")) << rig.err;
    // The outage itself: six seconds of rows that only the queue holds.
    rig.WaitFor([] { return false; }, std::chrono::seconds(6));
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    ASSERT_TRUE(rig.WaitForError("connected again")) << rig.err;
    ASSERT_TRUE(rig.WaitFor([&] { return Rows(sub, "site/0") >= FileRows(out).size() + 10; }))
        << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;

    const std::vector<StampedRow> rows = FileRows(out);
    ASSERT_TRUE(sub.WaitFor("site/0", rows.size())) << rig.err;
    size_t duplicates = 0;
    ExpectEveryRowInOrder(rows, sub.Messages(), "site/0", 0, &duplicates);
    std::cout << rows.size() << " rows, " << duplicates << " of them twice\n";
    EXPECT_EQ(Count(rig.err, "connection lost"), 1u) << rig.err;
    EXPECT_EQ(Count(rig.err, "connected again"), 1u) << rig.err;
    EXPECT_EQ(Count(rig.err, " of rows held for mqtt://127.0.0.1:" + std::to_string(broker.Port()) +
                                 "/site: the rest follow from the CSV files\n"),
              1u)
        << rig.err;
    std::filesystem::remove_all(out);
}

TEST(TiltlogMqtt, ARefusedLoginIsSaidOnceTheFilesKeepEveryRowAndItIsTriedAgain) {
    MqttBroker broker("site", "right");
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    SimServer server;
    const std::string out = TempFolder();
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "20", "--output", out, "--mqtt",
               broker.Url("site:wrong", "site")},
              true);
    ASSERT_TRUE(rig.WaitForError("not authorised")) << rig.err;
    // The operator mends the broker's side; the next attempt gets in.
    ASSERT_TRUE(broker.ChangePassword("wrong"));
    ASSERT_TRUE(rig.WaitForError("connected again")) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_EQ(Count(rig.err, "not authorised"), 1u) << rig.err;
    EXPECT_EQ(rig.err.find("wrong"), std::string::npos) << "the password was printed";
    EXPECT_GT(FileRows(out).size(), 0u);
    std::filesystem::remove_all(out);
}

TEST(TiltlogMqtt, MqttsReachesABrokerSignedByTheGivenCaAndSaysWhyAnotherIsRefused) {
    MqttBroker broker;
    ASSERT_TRUE(broker.AddTlsListener());
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    MqttSubscriber sub(broker.Port(), "site/#");
    ASSERT_TRUE(sub.WaitSubscribed());
    SimServer server;
    const std::string tls = "mqtts://127.0.0.1:" + std::to_string(broker.TlsPort()) + "/site";
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "20", "--count", "10", "--output",
               "none", "--mqtt", tls, "--mqtt-ca", broker.CaFile()});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_TRUE(sub.WaitFor("site/0", 10)) << rig.err;
    EXPECT_NE(rig.err.find("10 rows published to " + tls + "\n"), std::string::npos) << rig.err;

    // A certificate that cannot pass is named, told once as a configuration error
    // while the rows go on into the files, and fails the run.
    MqttBroker expired;
    ASSERT_TRUE(expired.AddTlsListener(true));
    ASSERT_TRUE(expired.Start()) << expired.Problem();
    const std::string port = std::to_string(broker.TlsPort());
    const struct {
        std::string url;
        std::string ca;
        const char* says;
    } refused[] = {
        {tls, broker.StrangerCaFile(), "signed by a certificate authority that is not trusted"},
        {"mqtts://localhost:" + port + "/site", broker.CaFile(),
         "its certificate is for another host name than localhost"},
        {"mqtts://127.0.0.1:" + std::to_string(expired.TlsPort()) + "/site", expired.CaFile(),
         "its certificate has expired"},
    };
    for (const auto& c : refused) {
        const std::string out = TempFolder();
        Rig stranger;
        // Ended once it has said so, however long a loaded machine takes to get there.
        stranger.Start({"--port", server.Address(), "--interval-ms", "20", "--output", out,
                        "--mqtt", c.url, "--mqtt-ca", c.ca});
        EXPECT_TRUE(stranger.WaitForError("a configuration error, not an outage")) << stranger.err;
        stranger.Signal(SIGTERM);
        EXPECT_EQ(stranger.Wait(), 1) << stranger.err;
        EXPECT_EQ(Count(stranger.err, c.says), 1u) << stranger.err;
        EXPECT_EQ(Count(stranger.err, "a configuration error, not an outage"), 1u) << stranger.err;
        EXPECT_NE(stranger.err.find(" rows to " + out), std::string::npos) << stranger.err;
        EXPECT_GT(FileRows(out).size(), 0u) << stranger.err;
        std::filesystem::remove_all(out);
    }
}

// Under TLS the library keeps writing its handshake into a refused socket and
// never says so: the feed must hear it, say it, and reach the broker once it is up.
TEST(TiltlogMqtt, AnMqttsBrokerDownAtTheStartIsToldAndReachedOnceItIsUp) {
    MqttBroker broker;
    ASSERT_TRUE(broker.AddTlsListener());
    SimServer server;
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "20", "--output", "none", "--mqtt",
               "mqtts://127.0.0.1:" + std::to_string(broker.TlsPort()) + "/site", "--mqtt-ca",
               broker.CaFile()});
    ASSERT_TRUE(rig.WaitForError("Connection refused")) << rig.err;
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    EXPECT_TRUE(rig.WaitForError("connected again")) << rig.err;
    rig.Signal(SIGTERM);
    EXPECT_EQ(rig.Wait(), 0) << rig.err;
}

TEST(TiltlogMqtt, AFullQueueDropsTheOldestSaysSoOnceAndCountsThemAtTheEnd) {
    SimServer server;
    const std::string nobody =
        "mqtt://127.0.0.1:" + std::to_string(SimServer::RefusingPort()) + "/site";
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "10", "--count", "100", "--output",
               "none", "--mqtt", nobody, "--mqtt-queue", "4k"});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_EQ(Count(rig.err, "MQTT: more than 4 KiB of rows held for " + nobody +
                                 ": the oldest are being dropped\n"),
              1u)
        << rig.err;
    EXPECT_EQ(Count(rig.err, "Connection refused"), 1u) << rig.err;
    // 4 KiB holds a few rows, not a hundred.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(rig.err, m,
                                  std::regex("0 rows published to .*; 100 were not \\((\\d+) "
                                             "dropped from a full queue\\)\n")))
        << rig.err;
    EXPECT_GT(std::stoi(m[1]), 50);
    EXPECT_LT(std::stoi(m[1]), 100);
}

}  // namespace

namespace {

// The retained message a new subscriber is given on `topic`.
std::string Retained(uint16_t port, const std::string& topic) {
    MqttSubscriber late(port, topic, "tiltlog-test-late");
    if (!late.WaitSubscribed() || !late.WaitFor(topic, 1, std::chrono::seconds(5))) return "";
    const MqttSubscriber::Message m = late.Messages().front();
    return m.retained ? m.payload : "not retained: " + m.payload;
}

class TiltlogMqttRestart : public testing::TestWithParam<int> {};

TEST_P(TiltlogMqttRestart, EveryRowOfTheFilesArrivesAfterARestartDuringAnOutage) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    MqttSubscriber sub(broker.Port(), "site/+");
    ASSERT_TRUE(sub.WaitSubscribed());
    SimServer server;
    const std::string out = TempFolder();
    const std::vector<std::string> args = {
        "--port", server.Address(), "--interval-ms",       "20", "--output",
        out,      "--mqtt",         broker.Url("", "site")};
    Rig first;
    first.Start(args, true);
    ASSERT_TRUE(sub.WaitFor("site/0", 20)) << first.err;
    broker.Stop();
    ASSERT_TRUE(first.WaitForError("connection lost")) << first.err;
    // Rows only the files hold.
    ASSERT_TRUE(first.WaitFor([&] { return FileRows(out).size() > Rows(sub, "site/0") + 20; }))
        << first.err;
    first.Signal(GetParam());
    first.Wait();
    // Rows the broker took without its acknowledgement reaching the logger come again, as
    // QoS 1 allows; the position counts the acknowledged ones.
    std::ifstream position(out + "/Tiltscope.mqtt-position");
    const std::string kept((std::istreambuf_iterator<char>(position)), {});
    std::smatch acknowledged;
    ASSERT_TRUE(std::regex_search(kept, acknowledged, std::regex("rows (\\d+)\n"))) << kept;
    const size_t unacknowledged = Rows(sub, "site/0") - std::stoul(acknowledged[1]);

    ASSERT_TRUE(broker.Start()) << broker.Problem();
    // Ended during the outage: the broker speaks for the logger that is gone.
    EXPECT_EQ(Retained(broker.Port(), "site/status"), "offline");
    // What the broker hands the subscriber again on its own comes before the second run.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sub.Subscriptions() < 2 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GE(sub.Subscriptions(), 2);
    std::vector<MqttSubscriber::Message> early = sub.Messages();
    size_t earlyDuplicates = 0;
    ExpectEveryRowInOrder(FileRows(out), early, "site/0", 0, &earlyDuplicates, false);
    Rig second;
    second.Start(args, true);
    // Caught up, and the rows go out as they come again: the broker leads the files.
    ASSERT_TRUE(second.WaitFor([&] { return Rows(sub, "site/0") >= FileRows(out).size() + 10; }))
        << second.err;
    EXPECT_EQ(Retained(broker.Port(), "site/status"), "online");
    second.Signal(SIGTERM);
    ASSERT_EQ(second.Wait(), 0) << second.err;

    const std::vector<StampedRow> rows = FileRows(out);
    ASSERT_TRUE(sub.WaitFor("site/0", rows.size())) << second.err;
    size_t duplicates = 0;
    ExpectEveryRowInOrder(rows, sub.Messages(), "site/0", 0, &duplicates);
    EXPECT_LE(duplicates - earlyDuplicates, unacknowledged + 1) << first.err << second.err;
    EXPECT_EQ(Count(second.err, "rows recorded before this start follow"), 1u) << second.err;
    std::filesystem::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(Stopped, TiltlogMqttRestart, testing::Values(SIGTERM, SIGKILL),
                         [](const testing::TestParamInfo<int>& i) {
                             return i.param == SIGTERM ? std::string("Term") : "Kill";
                         });

TEST(TiltlogMqtt, AKilledLoggersWillSaysItIsOfflineForEveryAddress) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Problem();
    MqttSubscriber sub(broker.Port(), "site/#");
    ASSERT_TRUE(sub.WaitSubscribed());
    SimServer server;
    Rig rig;
    rig.Start({"--port", server.Address(), "--interval-ms", "20", "--output", "none", "--mqtt",
               broker.Url("", "site")});
    ASSERT_TRUE(sub.WaitFor("site/0", 5)) << rig.err;
    rig.Signal(SIGKILL);
    rig.Wait();
    EXPECT_TRUE(sub.WaitFor("site/status", 2));
    EXPECT_EQ(Statuses(sub.Messages(), "site/status"),
              (std::vector<std::string>{"online", "offline"}));
    EXPECT_EQ(Retained(broker.Port(), "site/status"), "offline");
}

}  // namespace
