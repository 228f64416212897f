#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "RecordTestSupport.h"
#include "RecordedRow.h"
#include "Recording.h"
#include "RecordingExport.h"

using record_test::HaveZone;
using record_test::InZone;

namespace {

class RecordingReaderTest : public record_test::TempFolderTest {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

}  // namespace

TEST(RecordingReader, OddLinesAreReadWhereWholeAndCountedOtherwise) {
    InZone utc("UTC");
    const Recording r = ReadRecordingText(
        "X(deg),Y(deg),Temperature, Time\r\n"
        "1.25,-0.37,23.50,2026-12-10 13:50:5'24 \r\n"    // CR LF, unpadded, 24 ms
        "0.0001,-0.0000,,2026-12-10 13:50:05'224 \n"     // LF, padded, never-sent temperature
        "X(deg),Y(deg),Temperature, Time\r\n"            // a second recording in the same file
        ",,,2026-12-10 13:50:5'424 \r\n"                 // nothing sent yet
        "\r\n"                                           // blank: neither row nor fault
        "1.25,-0.37,23.50,2026-12-10 13:50:5'24\r\n"     // no closing blank
        "1.25,-0.37,23.5O,2026-12-10 13:50:5'624 \r\n"   // letter O
        "1,25,-0.37,23.50,2026-12-10 13:50:5'624 \r\n"   // a decimal comma, no address
        "1.25,-0.37,23.50,2026-2-30 13:50:5'624 \r\n"    // 30 February
        "1.25,-0.37,23.50,2026-12-10 13:50:5'1000 \r\n"  // four digits of milliseconds
        "1.,.5,+1.0,2026-12-10 13:50:5'624 \r\n"         // not what printf writes
        "1.25,-0.37,23.50,2026-12-10 13:50:5'8",         // cut inside the milliseconds
        "Tiltscope_20261210135005.csv");
    ASSERT_EQ(r.traces.size(), 1u);
    const RecordedTrace& t = r.traces[0];
    EXPECT_EQ(t.address, -1);
    ASSERT_EQ(t.Size(), 3u);
    EXPECT_EQ(t.utcMs, (std::vector<int64_t>{1796910605024, 1796910605224, 1796910605424}));
    EXPECT_EQ(t.x[0], 1.25);
    EXPECT_EQ(t.y[0], -0.37);
    EXPECT_EQ(t.temperature[0], 23.5);
    EXPECT_EQ(t.temperatureDecimals[0], 2);
    EXPECT_EQ(t.x[1], 0.0001);
    EXPECT_EQ(t.xDecimals[1], 4);
    EXPECT_TRUE(std::signbit(t.y[1]));
    EXPECT_TRUE(std::isnan(t.temperature[1]));
    EXPECT_TRUE(std::isnan(t.x[2]) && std::isnan(t.y[2]));
    EXPECT_EQ(r.unreadableRows, 7u);
}

TEST(RecordingReader, BusRowsAndBusFileNamesGiveTheAddress) {
    EXPECT_EQ(AddressFromFileName("/d/Tiltscope_A12_20261210135005.csv"), 12);
    EXPECT_EQ(AddressFromFileName("/d/SCA_A_A3_20261210135005-2.csv"), 3);
    EXPECT_EQ(AddressFromFileName("/d_A7_/Tiltscope_20261210135005.csv"), -1);
    EXPECT_EQ(AddressFromFileName("/d/Tiltscope_A256_20261210135005.csv"), -1);
    EXPECT_EQ(AddressFromFileName("/d/Tiltscope_A1_2026121013500.csv"), -1);

    InZone utc("UTC");
    const Recording bus = ReadRecordingText(
        "Address,X(deg),Y(deg),Temperature, Time\r\n"
        "2,1.00,2.00,,2027-1-1 0:0:0'0 \r\n"
        "1,3.00,4.00,,2027-1-1 0:0:0'0 \r\n"
        "1.00,2.00,,2027-1-1 0:0:0'0 \r\n",  // four fields in a bus stream
        "bus.csv");
    ASSERT_EQ(bus.traces.size(), 2u);
    EXPECT_EQ(bus.traces[0].address, 1);
    EXPECT_EQ(bus.traces[0].x[0], 3.0);
    EXPECT_EQ(bus.traces[1].address, 2);
    EXPECT_EQ(bus.traces[1].utcMs[0], 1798761600000);
    EXPECT_EQ(bus.unreadableRows, 1u);

    const Recording file =
        ReadRecordingText("1.00,2.00,,2027-1-1 0:0:0'0 \r\n", "T_A9_20270101000000.csv");
    ASSERT_EQ(file.traces.size(), 1u);
    EXPECT_EQ(file.traces[0].address, 9);
}

// Berlin falls back from 3:00 CEST to 2:00 CET on 2026-10-25 (01:00 UTC) and
// skips 2:00 to 3:00 on 2026-03-29.
TEST(RecordingReader, RepeatedHourIsTheFirstPassUntilTheFileStepsBack) {
    if (!HaveZone("Europe/Berlin")) GTEST_SKIP() << "no /usr/share/zoneinfo/Europe/Berlin here";
    InZone berlin("Europe/Berlin");
    const Recording night = ReadRecordingText(
        "1.00,1.00,1.00,2026-10-25 1:59:59'500 \r\n"
        "1.00,1.00,1.00,2026-10-25 2:30:0'0 \r\n"
        "1.00,1.00,1.00,2026-10-25 2:59:59'999 \r\n"
        "1.00,1.00,1.00,2026-10-25 2:0:0'0 \r\n"  // the clock went back
        "1.00,1.00,1.00,2026-10-25 2:30:0'0 \r\n"
        "1.00,1.00,1.00,2026-10-25 3:0:0'0 \r\n"
        "1.00,1.00,1.00,2026-3-29 2:30:0'0 \r\n",  // never shown by the clock
        "night.csv");
    ASSERT_EQ(night.traces.size(), 1u);
    EXPECT_EQ(night.traces[0].utcMs,
              (std::vector<int64_t>{1792886399500, 1792888200000, 1792889999999, 1792890000000,
                                    1792891800000, 1792893600000}));
    EXPECT_EQ(night.unreadableRows, 1u);

    // Two recordings writing one file step back by seconds, not by the change.
    const Recording shared = ReadRecordingText(
        "1.00,1.00,1.00,2026-10-25 2:30:3'0 \r\n"
        "1.00,1.00,1.00,2026-10-25 2:30:0'0 \r\n",
        "shared.csv");
    EXPECT_EQ(shared.traces[0].utcMs, (std::vector<int64_t>{1792888200000, 1792888203000}));
}

TEST_F(RecordingReaderTest, AFileBegunInTheSecondPassIsToldByWhenItWasLastWritten) {
    if (!HaveZone("Europe/Berlin")) GTEST_SKIP() << "no /usr/share/zoneinfo/Europe/Berlin here";
    InZone berlin("Europe/Berlin");
    const std::string rows =
        "1.00,1.00,1.00,2026-10-25 2:40:0'0 \r\n"
        "1.00,1.00,1.00,2026-10-25 2:41:0'0 \r\n";
    const std::string written = Write("T_A1_20261025024000.csv", rows);
    const std::string copied = Write("T_A2_20261025024000.csv", rows);
    // Two seconds after 2:41 CET (01:41 UTC), and a copy made days later.
    const timespec writtenAt[2] = {{1792892462, 0}, {1792892462, 0}};
    const timespec copiedAt[2] = {{1793000000, 0}, {1793000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, written.c_str(), writtenAt, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, copied.c_str(), copiedAt, 0), 0);
    const Recording r = ReadRecordings({written, copied});
    ASSERT_EQ(r.traces.size(), 2u);
    EXPECT_EQ(r.traces[0].utcMs, (std::vector<int64_t>{1792892400000, 1792892460000}));
    EXPECT_EQ(r.traces[1].utcMs, (std::vector<int64_t>{1792888800000, 1792888860000}));
}

TEST_F(RecordingReaderTest, FilesAreStitchedByTimeAndAnUnreadableFileIsNamedWithItsReason) {
    InZone utc("UTC");
    // A continuation (no header) given before the file it continues, and a
    // stamp both files hold: file order decides between equal stamps.
    const std::string second = Write("T_20270101000001.csv",
                                     "3.00,3.00,3.00,2027-1-1 0:0:1'0 \r\n"
                                     "4.00,4.00,4.00,2027-1-1 0:0:2'0 \r\n");
    const std::string first = Write("T_20270101000000.csv",
                                    "X(deg),Y(deg),Temperature, Time\r\n"
                                    "1.00,1.00,1.00,2027-1-1 0:0:0'0 \r\n"
                                    "2.00,2.00,2.00,2027-1-1 0:0:1'0 \r\n");
    const Recording r =
        ReadRecordings({second, first, PathOf("missing.csv"), root_.string(), "/dev/zero"});
    ASSERT_EQ(r.traces.size(), 1u);
    EXPECT_EQ(r.traces[0].x, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(r.traces[0].utcMs,
              (std::vector<int64_t>{1798761600000, 1798761601000, 1798761601000, 1798761602000}));
    EXPECT_EQ(r.problems, (std::vector<std::string>{
                              PathOf("missing.csv") + ": No such file or directory",
                              root_.string() + ": Is a directory", "/dev/zero: not a file"}));
}

TEST_F(RecordingReaderTest, ExportHasTheRecordedTextsIsoLocalTimeAndOnlyTheRange) {
    if (!HaveZone("Europe/Berlin")) GTEST_SKIP() << "no /usr/share/zoneinfo/Europe/Berlin here";
    InZone berlin("Europe/Berlin");
    Recording r = ReadRecordingText(
        "Address,X(deg),Y(deg),Temperature, Time\r\n"
        "2,-0.0000,12.3456,,2026-12-10 13:50:5'24 \r\n"
        "1,1.25,-0.37,23.50,2026-12-10 13:50:5'24 \r\n"
        "1,100,-7,,2026-7-1 0:0:0'5 \r\n"
        "2,,,,2026-12-10 13:50:6'0 \r\n",
        "bus.csv");
    EXPECT_EQ(ExportText(r, INT64_MIN, INT64_MAX),
              "address,time,x_deg,y_deg,temperature_c\n"
              "1,2026-07-01T00:00:00.005+02:00,100,-7,\n"
              "1,2026-12-10T13:50:05.024+01:00,1.25,-0.37,23.50\n"
              "2,2026-12-10T13:50:05.024+01:00,-0.0000,12.3456,\n"
              "2,2026-12-10T13:50:06.000+01:00,,,\n");
    // 2026-12-10T12:50:05.024Z to 12:50:06.000Z, both ends in.
    EXPECT_EQ(ExportText(r, 1796907005024, 1796907006000),
              "address,time,x_deg,y_deg,temperature_c\n"
              "1,2026-12-10T13:50:05.024+01:00,1.25,-0.37,23.50\n"
              "2,2026-12-10T13:50:05.024+01:00,-0.0000,12.3456,\n"
              "2,2026-12-10T13:50:06.000+01:00,,,\n");

    const Recording one = ReadRecordingText("1.25,-0.37,23.50,2026-12-10 13:50:5'24 \r\n", "t.csv");
    std::string error;
    ASSERT_TRUE(ExportRecording(one, INT64_MIN, INT64_MAX, PathOf("out.csv"), error)) << error;
    EXPECT_EQ(record_test::ReadFile(PathOf("out.csv")),
              "address,time,x_deg,y_deg,temperature_c\n"
              ",2026-12-10T13:50:05.024+01:00,1.25,-0.37,23.50\n");
    EXPECT_FALSE(ExportRecording(one, INT64_MIN, INT64_MAX, PathOf("no/out.csv"), error));
    EXPECT_EQ(error, PathOf("no/out.csv") + ": No such file or directory");
}
