// tiltlog --export: a bus recorded by tiltlog itself exports to the rows its
// files hold, and pandas reads an export with no option at all.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "RecordTestSupport.h"
#include "Recording.h"
#include "SimProcess.h"
#include "TiltlogRig.h"

namespace {

namespace fs = std::filesystem;

// "x,y,t" and the local time as ISO 8601 without the offset, per row of a
// recording, in the file's order.
std::vector<std::string> FileRowsAsIso(const std::string& text) {
    static const std::regex kRow(
        R"(([^,\n]*,[^,\n]*,[^,\n]*),(\d+)-(\d+)-(\d+) (\d+):(\d+):(\d+)'(\d+) \r\n)");
    std::vector<std::string> rows;
    for (std::sregex_iterator it(text.begin(), text.end(), kRow), end; it != end; ++it) {
        const std::smatch& m = *it;
        char iso[40];
        std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", std::stoi(m[2]),
                      std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[6]),
                      std::stoi(m[7]), std::stoi(m[8]));
        rows.push_back(std::string(iso) + "," + m[1].str());
    }
    return rows;
}

}  // namespace

TEST(TiltlogExport, ABusOfThreeRecordedByTiltlogExportsTheRowsItsFilesHold) {
    // Modbus with four registers: the temperature is never sent, its field empty.
    SimProcess sim({"--protocol", "modbus", "--address", "1-3", "--registers-as-asked"});
    ASSERT_TRUE(sim.Started());
    Rig rig(sim.PtyPath(), 8);
    rig.PassRequests(1 << 30);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--protocol", "modbus", "--address", "1-3", "--interval-ms",
               "100", "--reply-timeout-ms", "2000", "--output", out, "--prefix", "Dam"});
    ASSERT_TRUE(rig.WaitFor([&] { return rig.requestsPassed >= 3 * 8; })) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;

    std::vector<std::string> files;
    std::map<std::string, std::vector<std::string>> expected;  // by address
    size_t total = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        files.push_back(e.path().string());
        const std::string address = e.path().filename().string().substr(5, 1);  // Dam_A<n>_
        expected[address] = FileRowsAsIso(record_test::ReadFile(e.path()));
        total += expected[address].size();
    }
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(ReadRecordings(files).traces.size(), 3u);

    Rig exporter;
    std::vector<std::string> args{"--export", out + "/tidy.csv"};
    args.insert(args.end(), files.begin(), files.end());
    exporter.Start(args);
    ASSERT_EQ(exporter.Wait(), 0) << exporter.err;
    EXPECT_NE(exporter.err.find(std::to_string(total) + " rows of 3 sensors written to " + out +
                                "/tidy.csv; 0 rows could not be read"),
              std::string::npos)
        << exporter.err;

    // address,YYYY-MM-DDThh:mm:ss.mmm+hh:mm,x,y,t: the offset cut, by address.
    std::map<std::string, std::vector<std::string>> exported;
    std::istringstream tidy(record_test::ReadFile(out + "/tidy.csv"));
    std::string line;
    std::getline(tidy, line);
    EXPECT_EQ(line, "address,time,x_deg,y_deg,temperature_c");
    while (std::getline(tidy, line)) {
        const size_t comma = line.find(',');
        exported[line.substr(0, comma)].push_back(line.substr(comma + 1, 23) +
                                                  line.substr(comma + 1 + 29));
    }
    EXPECT_EQ(exported, expected);
    for (const auto& [address, rows] : expected) {
        EXPECT_GE(rows.size(), 3u) << address;
        EXPECT_EQ(rows.front().back(), ',') << "a temperature where none was sent";
    }
    fs::remove_all(out);
}

// Debian's own interpreter, the one python3-pandas installs for: a python3
// earlier on PATH (pyenv, a virtual environment) may lack it.
const std::string kPython = "/usr/bin/python3";

TEST(TiltlogExport, PandasReadsTheExportWithNoOptionToTheMillisecond) {
    if (std::system((kPython + " -c 'import pandas' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "python3-pandas is not installed (scripts/deps.sh installs it): "
                        "the export was not read by pandas";
    if (!record_test::HaveZone("Europe/Berlin"))
        GTEST_SKIP() << "no /usr/share/zoneinfo/Europe/Berlin here";
    const std::string dir = TempFolder();
    const std::string header = "X(deg),Y(deg),Temperature, Time\r\n";
    std::ofstream(dir + "/Dam_A1_20261210135005.csv", std::ios::binary)
        << header << "1.25,-0.37,,2026-12-10 13:50:5'24 \r\n"
        << "1.30,-0.40,,2026-12-10 13:50:5'224 \r\n"
        << "9.99,9.99,,2026-12-10 13:5";  // cut short
    std::ofstream(dir + "/Dam_A2_20261210135005.csv", std::ios::binary)
        << header << "0.0001,12.3456,21.0000,2026-12-10 13:50:5'124 \r\n";
    // Continued without a header.
    std::ofstream(dir + "/Dam_A2_20261210135006.csv", std::ios::binary)
        << "0.0002,12.3457,21.0000,2026-12-10 13:50:6'24 \r\n";
    std::ofstream(dir + "/read.py") << "import sys, pandas\n"
                                       "df = pandas.read_csv(sys.argv[1], parse_dates=['time'])\n"
                                       "print(len(df), df['time'].dt.tz is not None)\n"
                                       "for r in df.itertuples(index=False):\n"
                                       "    print(r.address, r.time.value // 1000000, r.x_deg,\n"
                                       "          r.y_deg, r.temperature_c)\n";

    const record_test::InZone berlin("Europe/Berlin");  // tiltlog's zone too
    Rig exporter;
    exporter.Start({"--export", dir + "/tidy.csv", dir + "/Dam_A1_20261210135005.csv",
                    dir + "/Dam_A2_20261210135005.csv", dir + "/Dam_A2_20261210135006.csv"});
    ASSERT_EQ(exporter.Wait(), 0) << exporter.err;
    EXPECT_NE(exporter.err.find("; 1 row could not be read"), std::string::npos) << exporter.err;

    std::FILE* pandas =
        ::popen((kPython + " " + dir + "/read.py " + dir + "/tidy.csv 2>&1").c_str(), "r");
    ASSERT_NE(pandas, nullptr);
    std::string said;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pandas)) said += buf;
    EXPECT_EQ(::pclose(pandas), 0) << said;
    // 13:50:05.024 in Berlin in December is 12:50:05.024 UTC.
    EXPECT_EQ(said,
              "4 True\n"
              "1 1796907005024 1.25 -0.37 nan\n"
              "2 1796907005124 0.0001 12.3456 21.0\n"
              "1 1796907005224 1.3 -0.4 nan\n"
              "2 1796907006024 0.0002 12.3457 21.0\n");
    fs::remove_all(dir);
}
