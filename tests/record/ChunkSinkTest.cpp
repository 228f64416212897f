#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ChunkSink.h"
#include "RecordTestSupport.h"

using record_test::Check;
using record_test::FileSizeLimit;
using record_test::ReadFile;
namespace fs = std::filesystem;

namespace {

class PosixChunkSinkTest : public record_test::TempFolderTest {
protected:
    PosixChunkSink sink_;
};

[[noreturn]] void RefusedChunksLeaveNoTrace(const std::string& path, const std::string& fresh) {
    PosixChunkSink sink;
    FileSizeLimit limit(4096);
    Check(sink.Append(path, std::string(1000, 'a')) == AppendResult::Written, "first chunk");
    // Partly written before the limit stops it: that part must come out again.
    Check(sink.Append(path, std::string(10000, 'b')) == AppendResult::FileTooLarge,
          "crossing chunk not refused");
    Check(ReadFile(path) == std::string(1000, 'a'), "partial chunk left in the file");
    Check(sink.Append(fresh, std::string(5000, 'c')) == AppendResult::FileTooLarge,
          "new file not refused");
    Check(!fs::exists(fresh), "refused new file left behind");
    limit.Lift();
    Check(sink.Append(path, std::string(10000, 'b')) == AppendResult::Written, "retry");
    Check(ReadFile(path) == std::string(1000, 'a') + std::string(10000, 'b'), "retried chunk");
    std::exit(0);
}

}  // namespace

TEST_F(PosixChunkSinkTest, AppendCreatesTheFileThenAddsAtItsEnd) {
    const std::string path = PathOf("a.csv");
    ASSERT_EQ(sink_.Append(path, "one\r\n"), AppendResult::Written);
    ASSERT_EQ(sink_.Append(path, "two\r\n"), AppendResult::Written);
    EXPECT_EQ(ReadFile(path), "one\r\ntwo\r\n");
    uint64_t size = 0;
    ASSERT_TRUE(sink_.FileSize(path, size));
    EXPECT_EQ(size, 10u);
}

TEST_F(PosixChunkSinkTest, AppendIntoAMissingFolderIsAnOpenFailure) {
    EXPECT_EQ(sink_.Append(PathOf("no/such/folder/x.csv"), "row"), AppendResult::OpenFailed);
    EXPECT_FALSE(fs::exists(root_ / "no"));
}

TEST_F(PosixChunkSinkTest, MakeFolderCreatesMissingParentsAndAcceptsAnExistingFolder) {
    const std::string folder = PathOf("one/two/three");
    EXPECT_TRUE(sink_.MakeFolder(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(sink_.MakeFolder(folder));
}

TEST_F(PosixChunkSinkTest, ChunkCrossingTheFileSizeLimitLeavesTheFileAsItWas) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RefusedChunksLeaveNoTrace(PathOf("limited.csv"), PathOf("fresh.csv")),
                ::testing::ExitedWithCode(0), "");
}
