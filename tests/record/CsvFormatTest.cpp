#include <gtest/gtest.h>

#include <string>

#include "CsvFormat.h"
#include "RecordTestSupport.h"

using record_test::At;

TEST(CsvFormatTest, FileNameIsFolderPrefixAndZeroPaddedSecondStamp) {
    EXPECT_EQ(MakeCsvFileName("/home/op/meas", "Tiltscope", At(2024, 3, 5, 9, 30, 12, 999)),
              "/home/op/meas/Tiltscope_20240305093012.csv");
    EXPECT_EQ(MakeCsvFileName("data", "SCA126T", At(2031, 12, 31, 23, 59, 59, 0)),
              "data/SCA126T_20311231235959.csv");
}

TEST(CsvFormatTest, FileNamesWithinOneSecondAreEqual) {
    EXPECT_EQ(MakeCsvFileName("/d", "T", At(2024, 3, 5, 9, 30, 12, 1)),
              MakeCsvFileName("/d", "T", At(2024, 3, 5, 9, 30, 12, 998)));
}

TEST(CsvFormatTest, TimeStampHasNoLeadingZerosAndOneTrailingBlank) {
    EXPECT_EQ(FormatRowTimeStamp(At(2024, 3, 5, 9, 7, 3, 45)), "2024-3-5 9:7:3'45 ");
    EXPECT_EQ(FormatRowTimeStamp(At(2024, 12, 31, 23, 59, 59, 999)), "2024-12-31 23:59:59'999 ");
    EXPECT_EQ(FormatRowTimeStamp(At(2025, 1, 1, 0, 0, 0, 0)), "2025-1-1 0:0:0'0 ");
}

TEST(CsvFormatTest, TimeStampKeepsTheSignOfAnOutOfRangeField) {
    // A broken clock must not make the formatter write past its buffer or print garbage.
    EXPECT_EQ(FormatRowTimeStamp(At(-2147483647 - 1, 1, 1, 0, 0, 0, -5)),
              "-2147483648-1-1 0:0:0'-5 ");
}

TEST(CsvFormatTest, HeaderKeepsTheBlankBeforeTime) {
    EXPECT_EQ(std::string(kCsvHeader), "X(deg),Y(deg),Temperature, Time");
    EXPECT_EQ(std::string(kCsvLineEnd), "\r\n");
}

TEST(CsvFormatTest, RowIsTheValueTextsAndStampSeparatedByCommasEndingInCrLf) {
    std::string out = "before\r\n";
    AppendCsvRow(out, "1.25", "-0.37", "23.50", At(2024, 3, 5, 9, 7, 3, 45));
    EXPECT_EQ(out, "before\r\n1.25,-0.37,23.50,2024-3-5 9:7:3'45 \r\n");
}

TEST(CsvFormatTest, DefaultDataFolderReplacesTheProgramAndItsFolderWithData) {
    EXPECT_EQ(DefaultDataFolder("/opt/tiltscope/bin/tiltscope"), "/opt/tiltscope/data");
    EXPECT_EQ(DefaultDataFolder("/opt/tiltscope/bin/../bin/./tiltscope"), "/opt/tiltscope/data");
}

TEST(CsvFormatTest, DefaultDataFolderNearTheRootStaysAbsoluteAndRelativeStaysRelative) {
    EXPECT_EQ(DefaultDataFolder("/bin/tiltscope"), "/data");
    EXPECT_EQ(DefaultDataFolder("/tiltscope"), "/data");
    EXPECT_EQ(DefaultDataFolder("bin/tiltscope"), "./data");
    EXPECT_EQ(DefaultDataFolder("stage/bin/tiltscope"), "stage/data");
}
