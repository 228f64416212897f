// tiltlog polling a bus of sensors on one pty: each file holds exactly what its
// own sensor sent, at the rate asked, while an absent address costs only its
// time-out and is said once.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>

#include "DeviceTypes.h"
#include "SimProcess.h"
#include "TiltlogRig.h"

namespace {

struct BusCase {
    const char* name;
    int protocol;
    size_t requestSize;
    const char* lineRate;  // tiltsim paces its line at this baud; null: as fast as the pty
};

// The sensors' replies as they crossed the line, by the address each names.
// The line carries nothing else here, so a frame's own length says where it ends.
std::map<uint8_t, Bytes> FramesByAddress(const Bytes& line, int protocol) {
    std::map<uint8_t, Bytes> by;
    for (size_t at = 0; at < line.size();) {
        size_t size = 0;
        uint8_t address = 0;
        if (protocol == kProtocolModbus && at + 2 < line.size()) {
            size = 5u + line[at + 2];
            address = line[at];
        } else if (protocol == kProtocolTarq && at + 2 < line.size() && line[at] == 0x68) {
            size = line[at + 1] + 1u;
            address = line[at + 2];
        }
        if (size == 0 || at + size > line.size()) break;
        Bytes& to = by[address];
        to.insert(to.end(), line.begin() + static_cast<std::ptrdiff_t>(at),
                  line.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return by;
}

std::string FileText(const std::string& folder, const std::string& prefix) {
    std::string found;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (!std::regex_match(e.path().filename().string(), std::regex(prefix + R"(_\d{14}\.csv)")))
            continue;
        EXPECT_TRUE(found.empty()) << "two files for " << prefix;
        std::ostringstream text;
        text << std::ifstream(e.path(), std::ios::binary).rdbuf();
        found = text.str();
    }
    return found;
}

// Milliseconds of the day of every row's time stamp.
std::vector<long> StampsMs(const std::string& text) {
    static const std::regex kStamp(R"( (\d+):(\d+):(\d+)'(\d+) \r\n)");
    std::vector<long> ms;
    for (std::sregex_iterator it(text.begin(), text.end(), kStamp), end; it != end; ++it) {
        ms.push_back(((std::stol((*it)[1]) * 60 + std::stol((*it)[2])) * 60 + std::stol((*it)[3])) *
                         1000 +
                     std::stol((*it)[4]));
    }
    return ms;
}

// Rounds follow the interval, not the loop's one-second tick: at least two a
// second by the rows' own time stamps, which a loaded machine keeps too.
void ExpectTwoRoundsASecond(const std::string& text) {
    const std::vector<long> ms = StampsMs(text);
    ASSERT_GE(ms.size(), 2u) << text;
    EXPECT_LE(ms.back() - ms.front(), static_cast<long>((ms.size() - 1) * 500)) << text;
}

class TiltlogBus : public ::testing::TestWithParam<BusCase> {};

TEST_P(TiltlogBus, EachFileHoldsExactlyItsSensorsRepliesAtTheRateAsked) {
    const BusCase& c = GetParam();
    const std::string protocol = c.protocol == kProtocolModbus ? "modbus" : "tarq";
    std::vector<std::string> simArgs{"--protocol", protocol, "--address", "1-3"};
    if (c.lineRate) simArgs.insert(simArgs.end(), {"--line-rate", c.lineRate});
    SimProcess sim(simArgs);
    ASSERT_TRUE(sim.Started());
    Rig rig(sim.PtyPath(), c.requestSize);
    rig.PassRequests(1 << 30);
    const std::string out = TempFolder();
    // A time-out no loaded machine reaches: a reply given up on is not in its
    // file (under Modbus it is ignored), and the time-out is not what is tried here.
    rig.Start({"--port", rig.Link(), "--protocol", protocol, "--address", "1-3", "--interval-ms",
               "200", "--reply-timeout-ms", "2000", "--output", out, "--prefix", "Dam"});
    constexpr size_t kRounds = 15;
    ASSERT_TRUE(rig.WaitFor([&] {
        const auto by = FramesByAddress(rig.delivered, c.protocol);
        for (uint8_t a : {1, 2, 3}) {
            const auto it = by.find(a);
            if (it == by.end() || WindowRows(it->second, c.protocol, a).size() < kRounds)
                return false;
        }
        return true;
    })) << rig.err;
    // A request that is not passed on comes only once the turn before it has
    // ended: every reply the line carried has then been read.
    rig.StopPassing();
    const int seen = rig.requestsSeen;
    ASSERT_TRUE(rig.WaitFor([&] { return rig.requestsSeen > seen; })) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;

    const auto by = FramesByAddress(rig.delivered, c.protocol);
    for (uint8_t a : {1, 2, 3}) {
        SCOPED_TRACE("address " + std::to_string(a));
        const std::string text = FileText(out, "Dam_A" + std::to_string(a));
        std::vector<Row> rows;
        ASSERT_TRUE(CsvRows(text, rows)) << text;
        EXPECT_EQ(rows, WindowRows(by.at(a), c.protocol, a));
        EXPECT_GE(rows.size(), kRounds);
        ExpectTwoRoundsASecond(text);
    }
    EXPECT_EQ(rig.err.find(" does not answer"), std::string::npos) << rig.err;
    std::filesystem::remove_all(out);
}

TEST(TiltlogBusAbsent, AnAbsentAddressCostsOnlyItsTimeOutIsSaidOnceAndGetsAnEmptyFile) {
    SimProcess sim({"--address", "1"});
    ASSERT_TRUE(sim.Started());
    Rig rig(sim.PtyPath(), 5);
    rig.PassRequests(1 << 30);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--address", "1,4", "--interval-ms", "200", "--output", out,
               "--prefix", "Dam"});
    const std::string said = "address 4 does not answer";
    ASSERT_TRUE(rig.WaitForError(said)) << rig.err;
    // Its time-out passes on every round; rows of the other go on meanwhile.
    const size_t rowsThen = WindowRows(rig.delivered, kProtocolTarq, 1).size();
    ASSERT_TRUE(rig.WaitFor([&] {
        return WindowRows(rig.delivered, kProtocolTarq, 1).size() >= rowsThen + 5;
    })) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;

    EXPECT_EQ(FramesByAddress(rig.delivered, kProtocolTarq).count(4), 0u);
    ExpectTwoRoundsASecond(FileText(out, "Dam_A1"));
    // Without any reply it has a header and no rows.
    std::vector<Row> absent;
    EXPECT_TRUE(CsvRows(FileText(out, "Dam_A4"), absent));
    EXPECT_TRUE(absent.empty());
    const size_t first = rig.err.find(said);
    EXPECT_EQ(rig.err.find(said, first + 1), std::string::npos) << rig.err;
    std::filesystem::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, TiltlogBus,
                         ::testing::Values(BusCase{"Tarq", kProtocolTarq, 5, nullptr},
                                           BusCase{"Modbus", kProtocolModbus, 8, nullptr},
                                           BusCase{"TarqAt9600", kProtocolTarq, 5, "9600"},
                                           BusCase{"ModbusAt9600", kProtocolModbus, 8, "9600"}),
                         [](const ::testing::TestParamInfo<BusCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(TiltlogBusOutput, RowsOnStandardOutputBeginWithTheirAddress) {
    SimProcess sim({"--address", "2,5"});
    ASSERT_TRUE(sim.Started());
    Rig rig(sim.PtyPath(), 5);
    rig.PassRequests(1 << 30);
    rig.Start({"--port", rig.Link(), "--address", "2,5", "--interval-ms", "20", "--count", "6",
               "--output", "-"});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    const std::regex kRow(R"(([25]),[^,]*,[^,]*,[^,]*,[^,]+ )");
    std::istringstream lines(rig.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Address,X(deg),Y(deg),Temperature, Time\r");
    std::map<std::string, int> rows;
    while (std::getline(lines, line)) {
        std::smatch m;
        ASSERT_FALSE(line.empty());
        line.pop_back();  // CR
        ASSERT_TRUE(std::regex_match(line, m, kRow)) << line;
        ++rows[m[1]];
    }
    EXPECT_EQ(rows["2"] + rows["5"], 6);
    EXPECT_GE(rows["2"], 3);
    EXPECT_GE(rows["5"], 2);
}

using namespace std::string_view_literals;

constexpr auto kOneWay = std::chrono::milliseconds(60);

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A peer of the test's own on 127.0.0.1 serving one client on its own thread,
// for a minute at most; the client going ends it.
class LoopbackPeer {
public:
    explicit LoopbackPeer(std::function<void(int client)> serve) {
        sockaddr_in a = Loopback(0);
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        address_ = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
        thread_ = std::thread([this, serve] {
            pollfd p{listener_, POLLIN, 0};
            const int client =
                ::poll(&p, 1, 60000) == 1 ? ::accept(listener_, nullptr, nullptr) : -1;
            if (client < 0) return;
            serve(client);
            ::close(client);
        });
    }
    ~LoopbackPeer() {
        ::shutdown(listener_, SHUT_RDWR);  // wakes a thread still waiting for its client
        thread_.join();
        ::close(listener_);
    }
    const std::string& Address() const { return address_; }

private:
    int listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string address_;
    std::thread thread_;
};

// A slow link to tiltsim: every block passes kOneWay after it came, both ways.
void Relay(int client, uint16_t simPort) {
    const int up = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(simPort);
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::pair<int, Bytes>>> held;
    bool open = ::connect(up, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
         open && std::chrono::steady_clock::now() < end;) {
        pollfd p[2] = {{client, POLLIN, 0}, {up, POLLIN, 0}};
        ::poll(p, 2, held.empty() ? 100 : 1);
        for (int i : {0, 1}) {
            uint8_t buffer[512];
            const ssize_t n = p[i].revents ? ::read(p[i].fd, buffer, sizeof buffer) : -1;
            open = open && n != 0;
            if (n > 0)
                held.push_back({std::chrono::steady_clock::now() + kOneWay,
                                {i == 0 ? up : client, Bytes(buffer, buffer + n)}});
        }
        for (; !held.empty() && held.front().first <= std::chrono::steady_clock::now();
             held.pop_front()) {
            const auto& [to, bytes] = held.front().second;
            (void)!::send(to, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
    }
    ::close(up);
}

class SlowLink : public ::testing::TestWithParam<const char*> {};

TEST_P(SlowLink, EverySensorKeepsTheRateTheLinkAllowsAndNoneIsCalledSilent) {
    SimProcess sim({"--listen", "tcp://127.0.0.1:0", "--protocol", GetParam(), "--address", "1-3"});
    ASSERT_TRUE(sim.Started());
    const std::string& simAddress = sim.PtyPath();
    const auto simPort =
        static_cast<uint16_t>(std::stoi(simAddress.substr(simAddress.rfind(':') + 1)));
    LoopbackPeer proxy([&](int client) { Relay(client, simPort); });
    const std::string out = TempFolder();
    Rig rig;
    rig.Start({"--port", proxy.Address(), "--protocol", GetParam(), "--address", "1-3",
               "--interval-ms", "200", "--duration", "8", "--output", out, "--prefix", "Dam"});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    // At best one request per round trip: each of three sensors every 3 x 120 ms.
    const double allowedPerSecond = 1000.0 / (3 * 2 * kOneWay.count());
    for (uint8_t a : {1, 2, 3}) {
        const std::vector<long> ms = StampsMs(FileText(out, "Dam_A" + std::to_string(a)));
        ASSERT_GE(ms.size(), 10u) << int(a) << "\n" << rig.err;
        EXPECT_GE((ms.size() - 1) * 1000.0 / static_cast<double>(ms.back() - ms.front()),
                  0.8 * allowedPerSecond)
            << int(a);
    }
    EXPECT_EQ(rig.err.find("does not answer"), std::string::npos) << rig.err;
    std::filesystem::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, SlowLink, ::testing::Values("tarq", "modbus"));

// Sensors written out by hand: two answer at address 1 (X 11.11 and 22.22), the
// one asked at 2 answers naming 3 (X 33.33), the one at 3 answers itself (X 44.44).
struct FakeBus {
    const char* protocol;
    size_t requestSize, addressAt;
    std::map<uint8_t, std::string_view> replies;
};
const FakeBus kFakeBuses[] = {
    {"tarq",
     5,
     2,
     {{1,
       "\x68\x0d\x01\x84\x00\x11\x11\x00\x00\x00\x00\x25\x10\xe9"
       "\x68\x0d\x01\x84\x00\x22\x22\x00\x00\x00\x00\x25\x10\x0b"sv},
      {2, "\x68\x0d\x03\x84\x00\x33\x33\x00\x00\x00\x00\x25\x10\x2f"sv},
      {3, "\x68\x0d\x03\x84\x00\x44\x44\x00\x00\x00\x00\x25\x10\x51"sv}}},
    {"modbus",
     8,
     0,
     {{1,
       "\x01\x03\x0a\x7f\x27\x00\x00\x28\x23\x00\x00\x09\xce\xed\x77"
       "\x01\x03\x0a\xd6\x2b\x00\x00\x28\x23\x00\x00\x09\xce\x6e\xda"sv},
      {2, "\x03\x03\x0a\x2d\x30\x00\x00\x28\x23\x00\x00\x09\xce\xa3\x4e"sv},
      {3, "\x03\x03\x0a\x84\x34\x00\x00\x28\x23\x00\x00\x09\xce\x47\x23"sv}}}};

void AnswerByHand(int client, const FakeBus& bus) {
    Bytes asked(bus.requestSize);
    while (::recv(client, asked.data(), asked.size(), MSG_WAITALL) == ssize_t(asked.size())) {
        const std::string_view reply = bus.replies.at(asked[bus.addressAt]);
        (void)!::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
}

std::set<std::string> Xs(const std::string& csv) {
    std::vector<Row> rows;
    EXPECT_TRUE(CsvRows(csv, rows)) << csv;
    std::set<std::string> xs;
    for (const Row& r : rows) xs.insert(r.x);
    return xs;
}

TEST(BusFaults, NoReplyIsFiledUnderAnAddressNotAskedAndEachFaultIsToldOnce) {
    for (const FakeBus& bus : kFakeBuses) {
        SCOPED_TRACE(bus.protocol);
        LoopbackPeer peer([&](int client) { AnswerByHand(client, bus); });
        const std::string out = TempFolder();
        Rig rig;
        // A time-out no loaded machine reaches: the reply naming 3 comes in 2's turn.
        rig.Start({"--port", peer.Address(), "--protocol", bus.protocol, "--address", "1-3",
                   "--interval-ms", "50", "--reply-timeout-ms", "500", "--duration", "3",
                   "--output", out, "--prefix", "Dam"});
        ASSERT_EQ(rig.Wait(), 0) << rig.err;
        EXPECT_EQ(Xs(FileText(out, "Dam_A1")), std::set<std::string>{"11.11"});
        EXPECT_EQ(Xs(FileText(out, "Dam_A2")), std::set<std::string>{});
        EXPECT_EQ(Xs(FileText(out, "Dam_A3")), std::set<std::string>{"44.44"});
        for (const char* said :
             {"two sensors answer at address 1", "address 3 answers when address 2 is asked",
              " replies answered no request of their own"}) {
            const size_t first = rig.err.find(said);
            EXPECT_NE(first, std::string::npos) << rig.err;
            EXPECT_EQ(rig.err.find(said, first + 1), std::string::npos) << rig.err;
        }
        std::filesystem::remove_all(out);
    }
}

// A Modbus TCP gateway by hand that answers only once three requests wait,
// and then the newest first: each unit's registers give its own X.
void AnswerThreeAtOnce(int client) {
    const std::map<uint8_t, std::string_view> registers = {
        {1, "\x7f\x27\x00\x00\x28\x23\x00\x00\x09\xce"sv},   // X 11.11
        {2, "\x2d\x30\x00\x00\x28\x23\x00\x00\x09\xce"sv},   // X 33.33
        {3, "\x84\x34\x00\x00\x28\x23\x00\x00\x09\xce"sv}};  // X 44.44
    std::vector<Bytes> waiting;
    Bytes asked(12);  // MBAP header and a read of registers
    while (::recv(client, asked.data(), asked.size(), MSG_WAITALL) == ssize_t(asked.size())) {
        waiting.push_back(asked);
        if (waiting.size() < 3) continue;
        for (auto r = waiting.rbegin(); r != waiting.rend(); ++r) {
            Bytes reply = {(*r)[0], (*r)[1], 0, 0, 0, 13, (*r)[6], 0x03, 0x0a};
            const std::string_view data = registers.at((*r)[6]);
            reply.insert(reply.end(), data.begin(), data.end());
            (void)!::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        waiting.clear();
    }
}

TEST(BusWindow, AGatewayAnsweringOnlyQueuedRequestsOutOfOrderFilesEachReplyUnderItsSensor) {
    LoopbackPeer peer(AnswerThreeAtOnce);
    const std::string gateway = "modbus-tcp://" + peer.Address().substr(6);
    const std::string out = TempFolder();
    Rig rig;
    rig.Start({"--port", gateway, "--protocol", "modbus", "--address", "1-3", "--in-flight", "3",
               "--interval-ms", "50", "--duration", "2", "--output", out});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_NE(rig.err.find("up to 3 at once"), std::string::npos) << rig.err;
    EXPECT_EQ(Xs(FileText(out, "Tiltscope_A1")), std::set<std::string>{"11.11"});
    EXPECT_EQ(Xs(FileText(out, "Tiltscope_A2")), std::set<std::string>{"33.33"});
    EXPECT_EQ(Xs(FileText(out, "Tiltscope_A3")), std::set<std::string>{"44.44"});
    EXPECT_GE(StampsMs(FileText(out, "Tiltscope_A1")).size(), 10u);
    EXPECT_EQ(rig.err.find("does not answer"), std::string::npos) << rig.err;
    std::filesystem::remove_all(out);
}

}  // namespace
