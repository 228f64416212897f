// tiltlog polling a bus of sensors on one pty: each file holds exactly what its
// own sensor sent, at the rate asked, while an absent address costs only its
// time-out and is said once.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

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

}  // namespace
