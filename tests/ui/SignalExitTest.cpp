// The window as a process: a signal must end it as its close does.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "RecordTestSupport.h"
#include "SimProcess.h"
#include "UiFakes.h"

namespace {

namespace fs = std::filesystem;

size_t CsvRows(const std::string& folder) {
    size_t rows = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string text = record_test::ReadFile(entry.path().string());
        for (char c : text) rows += c == '\n';
        rows -= text.rfind("X(deg)", 0) == 0 ? 1 : 0;
    }
    return rows;
}

long StatsValue(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

class SignalExitTest : public ::testing::TestWithParam<int> {};

TEST_P(SignalExitTest, SignalWhileRecordingWritesEveryRowReceivedAndExitsZero) {
    ScratchFolder scratch;
    const std::string data = scratch.Root() + "/data";
    fs::create_directories(data);
    fs::create_directories(scratch.Root() + "/config/ports");
    SimProcess sim({"--auto-hz", "200"});
    ASSERT_TRUE(sim.Started());
    fs::create_symlink(sim.PtyPath(), scratch.Root() + "/config/ports/COM150");
    std::ofstream(scratch.Config())
        << "[Config]\r\nLANGUAGE=EN\r\nCOM=150\r\nBAUD=2\r\nPATH=" << data << "\r\n";
    const std::string stats = scratch.Root() + "/stats.txt";

    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(scratch.Bin().c_str()) != 0) ::_exit(127);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(TILTSCOPE_PATH, "tiltscope", "--record", "--run-seconds", "60", "--stats",
                stats.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    // The first chunk is on the disk after three seconds; the rows since then
    // are only in memory when the signal comes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CsvRows(data) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GT(CsvRows(data), 0u);
    ::kill(pid, GetParam());

    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const long received = StatsValue(stats, "measurements");
    EXPECT_GT(received, 0);
    EXPECT_EQ(static_cast<long>(CsvRows(data)), received);
    EXPECT_EQ(StatsValue(stats, "rows_dropped"), 0);
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, SignalExitTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return std::string(p.param == SIGTERM  ? "Term"
                                                : p.param == SIGINT ? "Int"
                                                                    : "Hup");
                         });

}  // namespace
