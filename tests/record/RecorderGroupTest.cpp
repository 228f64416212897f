#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CsvRecorder.h"
#include "RecordTestSupport.h"
#include "RecorderGroup.h"

using record_test::At;
using record_test::FakeClock;
using record_test::ReadFile;
using record_test::SplitLines;

namespace {

class RecorderGroupTest : public record_test::TempFolderTest {
protected:
    // One row whose X names the sensor it came from.
    void Row(uint8_t address) {
        CsvRecorder* r = group_.For(address);
        ASSERT_NE(r, nullptr) << int(address);
        r->AppendRow(std::to_string(address) + ".5", "-0.37", "23.50");
    }
    // The first field of every line of a file in the folder.
    std::vector<std::string> Xs(const std::string& name) const {
        std::vector<std::string> xs;
        for (const std::string& line : SplitLines(ReadFile(PathOf(name))))
            xs.push_back(line.substr(0, line.find(',')));
        return xs;
    }

    FakeClock clock_{At(2026, 12, 10, 12, 0, 0, 0)};
    CsvRecorder single_{clock_};
    RecorderGroup group_{single_, clock_};
};

}  // namespace

TEST_F(RecorderGroupTest, EachAddressOfABusHasAFileWithItsOwnRows) {
    group_.SetAddresses({1, 2, 3});
    ASSERT_TRUE(group_.Start(root_.string(), "P"));
    for (uint8_t a : {3, 1, 2, 3}) Row(a);
    EXPECT_EQ(group_.For(4), nullptr);
    EXPECT_EQ(group_.CurrentPath(), PathOf("P_A1_20261210120000.csv"));
    group_.Stop();

    EXPECT_EQ(CsvFilesIn(root_),
              (std::vector<std::string>{"P_A1_20261210120000.csv", "P_A2_20261210120000.csv",
                                        "P_A3_20261210120000.csv"}));
    EXPECT_EQ(Xs("P_A1_20261210120000.csv"), (std::vector<std::string>{"X(deg)", "1.5"}));
    EXPECT_EQ(Xs("P_A2_20261210120000.csv"), (std::vector<std::string>{"X(deg)", "2.5"}));
    EXPECT_EQ(Xs("P_A3_20261210120000.csv"), (std::vector<std::string>{"X(deg)", "3.5", "3.5"}));
}

TEST_F(RecorderGroupTest, AChangedBusKeepsTheFilesOfTheAddressesThatStay) {
    group_.SetAddresses({1, 2});
    ASSERT_TRUE(group_.Start(root_.string(), "P"));
    Row(1);
    Row(2);
    clock_.AdvanceMs(1000);
    EXPECT_TRUE(group_.SetAddresses({2, 3}));  // the window shows another file now
    EXPECT_EQ(group_.For(1), nullptr);
    EXPECT_EQ(group_.CurrentPath(), PathOf("P_A2_20261210120000.csv"));
    Row(2);
    Row(3);
    group_.Stop();

    EXPECT_EQ(Xs("P_A1_20261210120000.csv"), (std::vector<std::string>{"X(deg)", "1.5"}));
    EXPECT_EQ(Xs("P_A2_20261210120000.csv"), (std::vector<std::string>{"X(deg)", "2.5", "2.5"}));
    EXPECT_EQ(Xs("P_A3_20261210120001.csv"), (std::vector<std::string>{"X(deg)", "3.5"}));
    EXPECT_EQ(CsvFilesIn(root_).size(), 3u);
}

TEST_F(RecorderGroupTest, OneAddressRecordsAsASingleSensorAlwaysHas) {
    EXPECT_FALSE(group_.SetAddresses({7}));
    EXPECT_EQ(group_.ChangeFolder(root_.string(), "Tiltscope"),
              PathOf("Tiltscope_20261210120000.csv"));
    EXPECT_EQ(group_.For(9), &single_);

    // From a bus to one sensor while recording: the bus files end, one plain file begins.
    group_.SetAddresses({1, 2});
    ASSERT_TRUE(group_.Start(root_.string(), "Tiltscope"));
    Row(1);
    clock_.AdvanceMs(1000);
    EXPECT_TRUE(group_.SetAddresses({7}));
    EXPECT_TRUE(single_.IsRecording());
    Row(7);
    group_.Stop();
    EXPECT_EQ(CsvFilesIn(root_), (std::vector<std::string>{"Tiltscope_20261210120001.csv",
                                                           "Tiltscope_A1_20261210120000.csv",
                                                           "Tiltscope_A2_20261210120000.csv"}));
    EXPECT_EQ(Xs("Tiltscope_20261210120001.csv"), (std::vector<std::string>{"X(deg)", "7.5"}));
    EXPECT_EQ(Xs("Tiltscope_A1_20261210120000.csv"), (std::vector<std::string>{"X(deg)", "1.5"}));
}
