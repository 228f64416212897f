#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CsvRecorder.h"
#include "RecordTestSupport.h"

using namespace std::chrono_literals;
using record_test::At;
using record_test::Eventually;
using record_test::FakeClock;
using record_test::ReadFile;
using record_test::SplitLines;
using record_test::SwitchableSink;
namespace fs = std::filesystem;

namespace {

constexpr auto kWait = 10s;  // generous for sanitizer builds; passing runs never wait it out
const std::string kHeader = "X(deg),Y(deg),Temperature, Time";

class CsvRecorderTest : public record_test::TempFolderTest {
protected:
    // Most tests drive the writer with WriteNow; its own timer never fires.
    RecorderOptions Options() {
        RecorderOptions o;
        o.writePeriod = std::chrono::hours(1);
        o.sink = &sink_;
        return o;
    }
    std::unique_ptr<CsvRecorder> Make(const RecorderOptions& o) {
        return std::make_unique<CsvRecorder>(clock_, o);
    }
    std::string Folder() const { return root_.string(); }

    // Appends one row numbered n and returns the line the file must hold for it.
    std::string Row(CsvRecorder& rec, int n) {
        const std::string x = std::to_string(n) + ".25";
        const std::string y = "-0.37";
        const std::string t = "23.50";
        const std::string line = x + "," + y + "," + t + "," + FormatRowTimeStamp(clock_.Now());
        rec.AppendRow(x, y, t);
        return line;
    }
    // The line of a row whose X is n in four digits: all such rows have one length.
    std::string FixedRow(int n) {
        char x[16];
        std::snprintf(x, sizeof x, "%04d", n);
        return std::string(x) + ",-0.37,23.50," + FormatRowTimeStamp(clock_.Now());
    }
    std::vector<std::string> Rows(CsvRecorder& rec, int from, int count) {
        std::vector<std::string> lines;
        for (int n = from; n < from + count; ++n) lines.push_back(Row(rec, n));
        return lines;
    }
    static std::vector<std::string> Join(std::vector<std::string> a,
                                         const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    static std::vector<std::string> WithHeader(const std::vector<std::string>& rows) {
        return Join({kHeader}, rows);
    }

    FakeClock clock_{At(2024, 3, 5, 9, 7, 3, 45)};
    SwitchableSink sink_;
};

}  // namespace

TEST_F(CsvRecorderTest, TenRowsWithinASecondAreInTheFileAfterTheHeader) {
    RecorderOptions o = Options();
    o.writePeriod = 20ms;  // the writer's own timer, no WriteNow
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const std::string path = Folder() + "/Tiltscope_20240305090703.csv";
    EXPECT_EQ(rec->CurrentPath(), path);

    std::vector<std::string> rows;
    for (int n = 0; n < 10; ++n) {
        clock_.AdvanceMs(90);
        rows.push_back(Row(*rec, n));
    }
    ASSERT_TRUE(Eventually([&] { return rec->Stats().rowsWritten == 10; }, kWait));
    const std::string text = ReadFile(path);
    EXPECT_EQ(SplitLines(text), WithHeader(rows));
    EXPECT_EQ(text.rfind(kHeader + "\r\n0.25,-0.37,23.50,2024-3-5 9:7:3'135 \r\n", 0), 0u);
    EXPECT_TRUE(rec->IsRecording());
}

TEST_F(CsvRecorderTest, StopWritesTheRowsCollectedSinceTheLastChunk) {
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto first = Rows(*rec, 0, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    const auto second = Rows(*rec, 3, 5);
    rec->Stop();

    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(Join(first, second)));
    EXPECT_EQ(rec->Stats().rowsWritten, 8u);
    EXPECT_EQ(rec->Stats().bytesHeld, 0u);
}

TEST_F(CsvRecorderTest, StopWakesASleepingWriterAtOnce) {
    auto rec = Make(Options());  // a writer period of an hour
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    Row(*rec, 0);
    const auto began = std::chrono::steady_clock::now();
    rec->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);
    EXPECT_EQ(rec->Stats().rowsWritten, 1u);
}

TEST_F(CsvRecorderTest, DestroyingTheRecorderWritesWhatIsCollected) {
    std::string path;
    std::vector<std::string> rows;
    {
        auto rec = Make(Options());
        ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
        rows = Rows(*rec, 0, 4);
        path = rec->CurrentPath();
    }
    EXPECT_EQ(SplitLines(ReadFile(path)), WithHeader(rows));
}

TEST_F(CsvRecorderTest, RowsOutsideARecordingAreNotWritten) {
    auto rec = Make(Options());
    Row(*rec, 100);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto rows = Rows(*rec, 0, 2);
    rec->Stop();
    Row(*rec, 101);
    EXPECT_FALSE(rec->WriteNow(kWait));
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
}

TEST_F(CsvRecorderTest, WriterTakesTheFilledBufferAndRowsGoToTheOther) {
    auto rec = Make(Options());
    EXPECT_EQ(rec->State(), RecorderState::Idle);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    EXPECT_EQ(rec->State(), RecorderState::FillingA);
    Row(*rec, 0);
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->State(), RecorderState::FillingB);
    Row(*rec, 1);
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->State(), RecorderState::FillingA);
    ASSERT_TRUE(rec->WriteNow(kWait));  // nothing to take: no switch
    EXPECT_EQ(rec->State(), RecorderState::FillingA);
    rec->Stop();
    EXPECT_EQ(rec->State(), RecorderState::Idle);
}

TEST_F(CsvRecorderTest, FileLargerThanTheLimitContinuesInANewFileWithoutHeader) {
    RecorderOptions o = Options();
    o.rotateAboveBytes = 300;
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const std::string firstPath = rec->CurrentPath();
    const auto first = Rows(*rec, 0, 10);  // about 430 bytes with the header
    ASSERT_TRUE(rec->WriteNow(kWait));

    clock_.AdvanceMs(1000);
    const auto second = Rows(*rec, 10, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    const std::string secondPath = Folder() + "/Tiltscope_20240305090704.csv";
    EXPECT_EQ(rec->CurrentPath(), secondPath);
    const auto third = Rows(*rec, 13, 2);  // the new file is still small: no rotation
    rec->Stop();

    EXPECT_EQ(SplitLines(ReadFile(firstPath)), WithHeader(first));
    EXPECT_EQ(SplitLines(ReadFile(secondPath)), Join(second, third));
    EXPECT_EQ(CsvFilesIn(root_).size(), 2u);
}

TEST_F(CsvRecorderTest, FileSizeLimitContinuesInANewFileWithEveryRow) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto child = [&] {
        record_test::FileSizeLimit limit(1000);
        auto rec = Make(Options());
        record_test::Check(rec->Start(Folder(), "Tiltscope"), "start");
        const std::string firstPath = rec->CurrentPath();
        const auto first = Rows(*rec, 0, 10);  // about 430 bytes with the header
        record_test::Check(rec->WriteNow(kWait), "first write");
        clock_.AdvanceMs(1000);
        const auto second = Rows(*rec, 10, 20);  // would take the file past 1000 bytes
        record_test::Check(rec->WriteNow(kWait), "second write");
        rec->Stop();
        limit.Lift();
        record_test::Check(SplitLines(ReadFile(firstPath)) == WithHeader(first), "first file");
        record_test::Check(rec->CurrentPath() != firstPath, "no new file");
        record_test::Check(SplitLines(ReadFile(rec->CurrentPath())) == second, "second file");
        const RecorderStats s = rec->Stats();
        record_test::Check(s.rowsWritten == 30 && s.rowsDropped == 0, "row counts");
        std::error_code ec;
        fs::remove_all(root_, ec);  // the child skips TearDown
        std::exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(CsvRecorderTest, AChunkLargerThanTheFileSizeLimitGoesOnInFilesThatTakeIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto child = [&] {
        record_test::FileSizeLimit limit(1000);
        auto rec = Make(Options());
        record_test::Check(rec->Start(Folder(), "Tiltscope"), "start");
        const auto rows = Rows(*rec, 0, 100);  // about 4,300 bytes: four files' worth
        record_test::Check(rec->WriteNow(kWait), "write");
        rec->Stop();
        limit.Lift();
        std::vector<std::string> lines;
        for (const auto& e : fs::directory_iterator(Folder())) {
            record_test::Check(fs::file_size(e.path()) <= 1000, "a file past the limit");
            for (const std::string& l : SplitLines(ReadFile(e.path().string())))
                if (l.rfind("X(deg)", 0) != 0) lines.push_back(l);
        }
        std::sort(lines.begin(), lines.end());
        auto sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        record_test::Check(lines == sorted, "every row once");
        const RecorderStats s = rec->Stats();
        record_test::Check(s.rowsWritten == 100 && s.rowsHeld == 0, "row counts");
        std::error_code ec;
        fs::remove_all(root_, ec);
        std::exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(CsvRecorderTest, FileOfExactlyTheLimitIsNotRotated) {
    // The size the first chunk will have: header and two rows of known length.
    const std::string stamp = FormatRowTimeStamp(clock_.Now());
    const std::string rowText = "0.25,-0.37,23.50," + stamp + "\r\n";
    RecorderOptions o = Options();
    o.rotateAboveBytes = kHeader.size() + 2 + 2 * rowText.size();
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const std::string firstPath = rec->CurrentPath();
    rec->AppendRow("0.25", "-0.37", "23.50");
    rec->AppendRow("0.25", "-0.37", "23.50");
    ASSERT_TRUE(rec->WriteNow(kWait));
    uint64_t size = 0;
    ASSERT_TRUE(PosixChunkSink().FileSize(firstPath, size));
    ASSERT_EQ(size, o.rotateAboveBytes);

    clock_.AdvanceMs(1000);
    Row(*rec, 1);
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->CurrentPath(), firstPath);  // exactly the limit: same file

    clock_.AdvanceMs(1000);
    Row(*rec, 2);
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_NE(rec->CurrentPath(), firstPath);  // one byte past it: a new file
    rec->Stop();
}

TEST_F(CsvRecorderTest, ByDefaultAFileIsContinuedPastFortyMebibytesNotFortyMegabytes) {
    ASSERT_EQ(RecorderOptions{}.rotateAboveBytes, Options().rotateAboveBytes);
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const std::string first = rec->CurrentPath();
    const std::string x(4000, '1');
    const uint64_t rowBytes = x.size() + std::string(",-0.37,23.50,").size() +
                              FormatRowTimeStamp(clock_.Now()).size() + 2;
    uint64_t size = kHeader.size() + 2;
    auto fillTo = [&](uint64_t target) {
        while (size + rowBytes <= target) {
            rec->AppendRow(x, "-0.37", "23.50");
            size += rowBytes;
        }
        ASSERT_TRUE(rec->WriteNow(kWait));
    };
    // Past 40,000,000 bytes but within 41,943,040: the same file goes on.
    ASSERT_NO_FATAL_FAILURE(fillTo(41943040));
    ASSERT_GT(size, 40000000u);
    uint64_t onDisk = 0;
    ASSERT_TRUE(PosixChunkSink().FileSize(first, onDisk));
    ASSERT_EQ(onDisk, size);
    clock_.AdvanceMs(1000);  // a continuation would have a name of its own
    rec->AppendRow("0.25", "-0.37", "23.50");
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->CurrentPath(), first);
    // Once it is larger than 41,943,040 bytes the next rows go to a new file.
    rec->AppendRow(x, "-0.37", "23.50");
    ASSERT_TRUE(rec->WriteNow(kWait));
    ASSERT_TRUE(PosixChunkSink().FileSize(first, onDisk));
    ASSERT_GT(onDisk, 41943040u);
    clock_.AdvanceMs(1000);  // the new file's name is the time of its first row
    rec->AppendRow("0.25", "-0.37", "23.50");
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_NE(rec->CurrentPath(), first);
    rec->Stop();
}

TEST_F(CsvRecorderTest, RotationNamesTheNewFileWithTheLatestPrefix) {
    RecorderOptions o = Options();
    o.rotateAboveBytes = 10;
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    Row(*rec, 0);
    ASSERT_TRUE(rec->WriteNow(kWait));
    rec->SetPrefix("SCA126T");
    clock_.AdvanceMs(1000);
    const std::string row = Row(*rec, 1);
    rec->Stop();
    EXPECT_EQ(rec->CurrentPath(), Folder() + "/SCA126T_20240305090704.csv");
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), std::vector<std::string>{row});
}

TEST_F(CsvRecorderTest, BrowseDuringARecordingContinuesInTheNewFolderWithoutHeader) {
    const fs::path other = root_ / "other";
    fs::create_directory(other);
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const std::string oldPath = rec->CurrentPath();
    const auto before = Rows(*rec, 0, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    const std::string oldText = ReadFile(oldPath);

    clock_.AdvanceMs(2000);
    const std::string newPath = rec->ChangeFolder(other.string(), "Tiltscope");
    EXPECT_EQ(newPath, other.string() + "/Tiltscope_20240305090705.csv");
    EXPECT_EQ(rec->CurrentPath(), newPath);
    EXPECT_EQ(rec->Folder(), other.string());
    const auto after = Rows(*rec, 3, 4);
    rec->Stop();

    EXPECT_EQ(ReadFile(oldPath), oldText);
    EXPECT_EQ(SplitLines(oldText), WithHeader(before));
    EXPECT_EQ(SplitLines(ReadFile(newPath)), after);
}

TEST_F(CsvRecorderTest, CancelledBrowseKeepsTheFolderButTakesAFreshName) {
    auto rec = Make(Options());
    const std::string first = rec->ChangeFolder(Folder(), "Tiltscope");
    clock_.AdvanceMs(1000);
    const std::string second = rec->ChangeFolder(rec->Folder(), "Tiltscope");
    EXPECT_EQ(first, Folder() + "/Tiltscope_20240305090703.csv");
    EXPECT_EQ(second, Folder() + "/Tiltscope_20240305090704.csv");
    EXPECT_EQ(rec->CurrentPath(), second);
    EXPECT_TRUE(CsvFilesIn(root_).empty());  // naming alone writes nothing
}

TEST_F(CsvRecorderTest, TwoRecordingsInTheSameSecondShareOneFileWithTwoHeaders) {
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto first = Rows(*rec, 0, 2);
    rec->Stop();
    clock_.AdvanceMs(500);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto second = Rows(*rec, 2, 2);
    rec->Stop();

    EXPECT_EQ(CsvFilesIn(root_), std::vector<std::string>{"Tiltscope_20240305090703.csv"});
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())),
              Join(WithHeader(first), WithHeader(second)));
}

TEST_F(CsvRecorderTest, ThousandRowsASecondForTenSecondsLoseNothing) {
    RecorderOptions o = Options();
    o.writePeriod = 1ms;  // the writer swaps buffers all the while rows pour in
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    std::vector<std::string> rows;
    rows.reserve(10000);
    for (int n = 0; n < 10000; ++n) {
        clock_.AdvanceMs(1);
        rows.push_back(Row(*rec, n));
    }
    rec->Stop();

    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
    EXPECT_EQ(rec->Stats().rowsWritten, 10000u);
    EXPECT_EQ(rec->Stats().rowsDropped, 0u);
}

TEST_F(CsvRecorderTest, RefusingDiskKeepsTheRowsAndWritesThemOnceItRecovers) {
    auto rec = Make(Options());
    sink_.refuseWrite_ = true;
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto first = Rows(*rec, 0, 5);
    ASSERT_TRUE(rec->WriteNow(kWait));
    const auto second = Rows(*rec, 5, 5);
    ASSERT_TRUE(rec->WriteNow(kWait));
    RecorderStats s = rec->Stats();
    EXPECT_GE(s.failedWrites, 2u);  // the start's own write may have failed too
    EXPECT_EQ(s.rowsWritten, 0u);
    EXPECT_GT(s.bytesHeld, 10 * 40u);
    EXPECT_FALSE(fs::exists(rec->CurrentPath()));

    sink_.refuseWrite_ = false;
    ASSERT_TRUE(rec->WriteNow(kWait));
    s = rec->Stats();
    EXPECT_EQ(s.rowsWritten, 10u);
    EXPECT_EQ(s.rowsDropped, 0u);
    EXPECT_EQ(s.bytesHeld, 0u);
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(Join(first, second)));
    rec->Stop();
}

TEST_F(CsvRecorderTest, HeldRowsPastTheBoundDropTheOldestFirstAndCountThem) {
    // Rows of one length, so the bound is a count of rows.
    auto line = [&](int n) { return FixedRow(n); };
    const size_t rowBytes = line(0).size() + 2;
    RecorderOptions o = Options();
    // Ten rows and a bit: the bit is not enough for an eleventh, whole rows only.
    o.heldBytesLimit = kHeader.size() + 2 + 10 * rowBytes + 5;
    auto rec = Make(o);
    sink_.refuseWrite_ = true;
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    for (int n = 0; n < 25; ++n) rec->AppendRow(line(n).substr(0, 4), "-0.37", "23.50");
    ASSERT_TRUE(rec->WriteNow(kWait));
    RecorderStats s = rec->Stats();
    EXPECT_EQ(s.rowsDropped, 15u);
    EXPECT_EQ(s.bytesHeld, kHeader.size() + 2 + 10 * rowBytes);

    sink_.refuseWrite_ = false;
    rec->Stop();
    std::vector<std::string> kept;
    for (int n = 15; n < 25; ++n) kept.push_back(line(n));
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(kept));
    EXPECT_EQ(rec->Stats().rowsWritten, 10u);
    EXPECT_EQ(rec->Stats().rowsDropped, 15u);
}

TEST_F(CsvRecorderTest, ABufferThatReachesTheEarlyWriteSizeIsWrittenBeforeThePeriodEnds) {
    RecorderOptions o = Options();  // the period is an hour
    o.earlyWriteBytes = 2000;
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    ASSERT_TRUE(Eventually([&] { return rec->Stats().chunksWritten == 1; }));  // the header
    const auto rows = Rows(*rec, 0, 60);                                       // about 2,500 bytes
    ASSERT_TRUE(Eventually([&] { return rec->Stats().chunksWritten == 2; }));
    EXPECT_GE(rec->Stats().rowsWritten, 45u);
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
}

TEST_F(CsvRecorderTest, HeldRowsStayWithinTheBoundThroughALongOutageAndTheNewestAreKept) {
    auto line = [&](int n) { return FixedRow(n); };
    const size_t rowBytes = line(0).size() + 2;
    RecorderOptions o = Options();
    o.heldBytesLimit = kHeader.size() + 2 + 10 * rowBytes;
    auto rec = Make(o);
    sink_.refuseWrite_ = true;
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    int n = 0;
    for (int cycle = 0; cycle < 6; ++cycle) {
        // The last cycle alone brings more rows than the bound holds.
        const int count = cycle == 5 ? 14 : 4;
        for (int i = 0; i < count; ++i, ++n) rec->AppendRow(line(n).substr(0, 4), "-0.37", "23.50");
        ASSERT_TRUE(rec->WriteNow(kWait));
        EXPECT_LE(rec->Stats().bytesHeld, o.heldBytesLimit) << "cycle " << cycle;
    }
    EXPECT_EQ(rec->Stats().rowsHeld, 10u);
    EXPECT_EQ(rec->Stats().rowsDropped, static_cast<uint64_t>(n - 10));
    sink_.refuseWrite_ = false;
    rec->Stop();
    std::vector<std::string> kept;
    for (int k = n - 10; k < n; ++k) kept.push_back(line(k));
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(kept));
}

TEST_F(CsvRecorderTest, WorkingDiskWritesAChunkLargerThanTheHeldBoundWhole) {
    RecorderOptions o = Options();
    o.heldBytesLimit = 100;  // smaller than the chunk below
    auto rec = Make(o);
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto rows = Rows(*rec, 0, 25);
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
    EXPECT_EQ(rec->Stats().rowsDropped, 0u);
}

TEST_F(CsvRecorderTest, StopWhileTheDiskRefusesCountsTheRowsAsAbandoned) {
    auto rec = Make(Options());
    sink_.refuseWrite_ = true;
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    Rows(*rec, 0, 3);
    rec->Stop();
    const RecorderStats s = rec->Stats();
    EXPECT_EQ(s.rowsAbandoned, 3u);
    EXPECT_EQ(s.rowsWritten, 0u);
    EXPECT_EQ(s.bytesHeld, 0u);
}

TEST_F(CsvRecorderTest, LinkPlantedAtTheNewFilesNameIsNeverWrittenThrough) {
    const fs::path victim = root_ / "victim.csv";
    std::ofstream(victim) << "someone else's\n";
    fs::create_symlink(victim, root_ / "Tiltscope_20240305090703.csv");
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto rows = Rows(*rec, 0, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(ReadFile(victim.string()), "someone else's\n");
    EXPECT_EQ(rec->CurrentPath(), Folder() + "/Tiltscope_20240305090703-2.csv");
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
    // The numbered file is the recording's own from now on.
    const auto more = Rows(*rec, 3, 2);
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(Join(rows, more)));
}

TEST_F(CsvRecorderTest, AnotherUsersFileAtTheNewFilesNameIsLeftAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    const fs::path theirs = root_ / "Tiltscope_20240305090703.csv";
    std::ofstream(theirs) << "theirs\n";
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const auto rows = Rows(*rec, 0, 2);
    rec->Stop();
    EXPECT_EQ(ReadFile(theirs.string()), "theirs\n");
    EXPECT_EQ(rec->CurrentPath(), Folder() + "/Tiltscope_20240305090703-2.csv");
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
}

TEST_F(CsvRecorderTest, MissingDataFolderIsCreated) {
    const fs::path folder = root_ / "stage" / "data";
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(folder.string(), "Tiltscope"));
    const auto rows = Rows(*rec, 0, 3);
    rec->Stop();
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
    EXPECT_EQ(rec->Stats().failedWrites, 0u);
}

TEST_F(CsvRecorderTest, FileThatCannotBeOpenedIsContinuedUnderAFreshName) {
    fs::create_directory(root_ / "Tiltscope_20240305090703.csv");  // in the file's way
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    // Within the same second the fresh name is the numbered one.
    ASSERT_TRUE(Eventually([&] { return rec->Stats().chunksWritten == 1; }));
    EXPECT_EQ(rec->CurrentPath(), Folder() + "/Tiltscope_20240305090703-2.csv");
    const auto rows = Rows(*rec, 0, 3);
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
    EXPECT_EQ(rec->Fault().trouble, WriteTrouble::None);
}

TEST_F(CsvRecorderTest, StartPutsTheHeaderOnTheDiskAtOnce) {
    auto rec = Make(Options());  // the writer's own period is an hour
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    const std::string path = rec->CurrentPath();
    ASSERT_TRUE(Eventually([&] { return rec->Stats().chunksWritten == 1; }));
    EXPECT_EQ(ReadFile(path), kHeader + "\r\n");
    EXPECT_EQ(rec->Fault().trouble, WriteTrouble::None);
    EXPECT_TRUE(rec->Fault().fileMade);
    rec->Stop();
}

TEST_F(CsvRecorderTest, FolderThatCannotBeMadeIsAFaultAtTheStartWithTheSystemsReason) {
    std::ofstream(root_ / "stick") << "a file where the folder should be\n";
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start((root_ / "stick" / "data").string(), "Tiltscope"));
    ASSERT_TRUE(Eventually([&] { return rec->Fault().number == 1; }));
    const WriteFault f = rec->Fault();
    EXPECT_EQ(f.trouble, WriteTrouble::Refused);
    EXPECT_EQ(f.error, ENOTDIR);
    EXPECT_EQ(f.path, rec->CurrentPath());
    EXPECT_FALSE(f.fileMade);
    EXPECT_TRUE(rec->IsRecording());  // the caller decides; the rows are held meanwhile
    Rows(*rec, 0, 2);
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->Fault().number, 1u);  // the same fault goes on, it is not a new one
    EXPECT_EQ(rec->Stats().rowsHeld, 2u);
    rec->Stop();
    EXPECT_EQ(rec->Stats().rowsAbandoned, 2u);
}

TEST_F(CsvRecorderTest, ReadOnlyFileSystemIsAFaultUntilItTakesTheRowsAgain) {
    record_test::ScratchMount disk(root_ / "disk", 1 << 20);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start((root_ / "disk").string(), "Tiltscope"));
    const auto first = Rows(*rec, 0, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    ASSERT_TRUE(disk.SetReadOnly(true));
    const auto second = Rows(*rec, 3, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    WriteFault f = rec->Fault();
    EXPECT_EQ(f.trouble, WriteTrouble::Refused);
    EXPECT_EQ(f.error, EROFS);
    EXPECT_TRUE(f.fileMade);
    EXPECT_EQ(rec->Stats().rowsHeld, 3u);

    ASSERT_TRUE(disk.SetReadOnly(false));
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->Fault().trouble, WriteTrouble::None);
    EXPECT_EQ(rec->Stats().rowsHeld, 0u);
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(Join(first, second)));
}

TEST_F(CsvRecorderTest, FullDiskIsToldApartAndEveryRowIsWrittenWhenSpaceReturns) {
    record_test::ScratchMount disk(root_ / "disk", 64 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    disk.Fill("filler");
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start((root_ / "disk").string(), "Tiltscope"));
    const auto rows = Rows(*rec, 0, 50);
    ASSERT_TRUE(rec->WriteNow(kWait));
    const WriteFault f = rec->Fault();
    EXPECT_EQ(f.trouble, WriteTrouble::DiskFull);
    EXPECT_EQ(f.error, ENOSPC);
    EXPECT_FALSE(f.fileMade);
    EXPECT_EQ(rec->Stats().rowsHeld, 50u);

    fs::remove(root_ / "disk" / "filler");
    ASSERT_TRUE(rec->WriteNow(kWait));
    EXPECT_EQ(rec->Fault().trouble, WriteTrouble::None);
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(rows));
    EXPECT_EQ(rec->Stats().rowsWritten, 50u);
}

TEST_F(CsvRecorderTest, AChunkTheFullDiskTookInPartIsTakenBackAndWrittenWholeLater) {
    record_test::ScratchMount disk(root_ / "disk", 64 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    // Two pages left: the header and three rows fit, the next chunk only in part.
    std::ofstream(root_ / "disk" / "room") << std::string(8192, 'r');
    disk.Fill("filler");
    fs::remove(root_ / "disk" / "room");
    auto rec = Make(Options());
    ASSERT_TRUE(rec->Start((root_ / "disk").string(), "Tiltscope"));
    const auto first = Rows(*rec, 0, 3);
    ASSERT_TRUE(rec->WriteNow(kWait));
    const auto second = Rows(*rec, 3, 400);
    ASSERT_TRUE(rec->WriteNow(kWait));
    ASSERT_EQ(rec->Fault().trouble, WriteTrouble::DiskFull);
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(first));

    fs::remove(root_ / "disk" / "filler");
    ASSERT_TRUE(rec->WriteNow(kWait));
    rec->Stop();
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), WithHeader(Join(first, second)));
}

TEST_F(CsvRecorderTest, ANewRecordingBeginsWithoutTheLastOnesFault) {
    auto rec = Make(Options());
    sink_.refuseWrite_ = true;
    sink_.refuseError_ = EIO;
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    ASSERT_TRUE(Eventually([&] { return rec->Fault().number == 1; }));
    EXPECT_EQ(rec->Fault().error, EIO);
    rec->Stop();
    sink_.refuseWrite_ = false;
    ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));
    EXPECT_EQ(rec->Fault().number, 0u);
    rec->Stop();
}

TEST_F(CsvRecorderTest, StartRightAfterStopNeverRunsTwoWriters) {
    RecorderOptions o = Options();
    o.writePeriod = 1ms;  // writers busy all the time, so an overlap would show
    auto rec = Make(o);
    std::vector<std::string> expected;
    for (int recording = 0; recording < 30; ++recording) {
        ASSERT_TRUE(rec->Start(Folder(), "Tiltscope"));  // same second: same file
        expected = Join(expected, WithHeader(Rows(*rec, recording * 100, 20)));
        rec->Stop();
    }
    EXPECT_EQ(SplitLines(ReadFile(rec->CurrentPath())), expected);
    EXPECT_EQ(sink_.maxInFlight_.load(), 1);
}
