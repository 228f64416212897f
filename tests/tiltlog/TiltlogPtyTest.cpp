// The real tiltlog against a real tiltsim, over ptys: what it records must be
// what the window's receive path makes of the very bytes it was sent.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DeviceTypes.h"
#include "NotifySocket.h"
#include "RecordTestSupport.h"
#include "RefusedDevice.h"
#include "SimProcess.h"
#include "TarqProtocol.h"
#include "TiltlogRig.h"

namespace {

constexpr size_t kTarqRequest = 5;
constexpr size_t kModbusRequest = 8;

size_t Lines(const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

size_t Count(const std::string& text, const std::string& what, size_t from = 0) {
    size_t n = 0;
    for (size_t at = text.find(what, from); at != std::string::npos;
         at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// The first five rows the sensor's bytes make, each with both angles and no temperature.
void ExpectFiveRowsWithoutTemperature(const std::vector<Row>& rows, const Bytes& delivered,
                                      int protocol, uint8_t address) {
    ASSERT_EQ(rows.size(), 5u);
    for (const Row& r : rows) {
        EXPECT_FALSE(r.x.empty());
        EXPECT_FALSE(r.y.empty());
        EXPECT_EQ(r.t, "");
    }
    std::vector<Row> want = WindowRows(delivered, protocol, address);
    ASSERT_GE(want.size(), 5u);
    want.resize(5);
    EXPECT_EQ(rows, want);
}

// A Config.ini with nothing in it but the folder it stands in: COM numbers lead
// through the ports folder beside it.
std::string EmptyConfig(const std::string& folder) {
    std::filesystem::create_directories(folder + "/ports");
    std::ofstream(folder + "/Config.ini") << "[Config]\r\n";
    return folder + "/Config.ini";
}

TEST(TiltlogPty, CountEndsTheRunAfterThatManyRowsDecodedAsTheWindowDoes) {
    SimProcess sim({"--address", "3"});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(1000);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--address", "3", "--interval-ms", "30", "--count", "12",
               "--output", out, "--prefix", "Site"});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    std::vector<Row> want = WindowRows(rig.delivered, kProtocolTarq, 3);
    ASSERT_GE(want.size(), 12u);
    want.resize(12);
    EXPECT_EQ(OnlyFileRows(out, "Site"), want);
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, UnderAServiceManagerItSaysReadyThenFeedsTheWatchdogThenStopping) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(1000);
    NotifySocket manager("@tiltlog-pty-notify-" + std::to_string(::getpid()));
    ASSERT_TRUE(manager.Bound());
    // The child takes the environment it is started with.
    ::setenv("NOTIFY_SOCKET", manager.Name().c_str(), 1);
    ::setenv("WATCHDOG_USEC", "200000", 1);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--output", out});
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("WATCHDOG_USEC");
    std::vector<std::string> notices;
    const auto take = [&] {
        for (std::string& n : manager.Take()) notices.push_back(std::move(n));
    };
    ASSERT_TRUE(rig.WaitFor([&] {
        take();
        return std::count(notices.begin(), notices.end(), "WATCHDOG=1") >= 2;
    })) << rig.err;
    EXPECT_EQ(notices.front(), "READY=1\nSTATUS=logging " + rig.Link());
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    take();
    EXPECT_EQ(notices.back(), "STOPPING=1");
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, EveryModbusFrameBecomesOneRowOnStandardOutput) {
    SimProcess sim({"--protocol", "modbus", "--address", "7"});
    Rig rig(sim.PtyPath(), kModbusRequest);
    rig.PassRequests(15);
    rig.Start({"--port", rig.Link(), "--protocol", "modbus", "--address", "7", "--interval-ms",
               "30", "--ratio", "0.001", "--xrange", "45deg", "--yrange", "30", "--output", "-"});
    // Header and fifteen rows, while it goes on asking a sensor that no longer hears it.
    ASSERT_TRUE(rig.WaitFor([&] { return Lines(rig.out) == 16 && rig.requestsSeen > 20; }))
        << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    std::vector<Row> rows;
    ASSERT_TRUE(CsvRows(rig.out, rows));
    EXPECT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows, WindowRows(rig.delivered, kProtocolModbus, 7, "0.001", "45deg", "30"));
    EXPECT_EQ(rows[0].x.size() - rows[0].x.find('.'), 4u) << "three decimals for 0.001";
}

TEST(TiltlogPty, TemperatureNeverSentByALayoutTenSensorIsRecordedAsAnEmptyField) {
    SimProcess sim({"--layout", "10"});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(1000);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--count", "5", "--output", out});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    ExpectFiveRowsWithoutTemperature(OnlyFileRows(out), rig.delivered, kProtocolTarq, 0);
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, TemperatureNeverSentByAModbusDeviceAnsweringFourRegistersIsAnEmptyField) {
    SimProcess sim({"--protocol", "modbus", "--registers-as-asked"});
    Rig rig(sim.PtyPath(), kModbusRequest);
    rig.PassRequests(1000);
    rig.Start({"--port", rig.Link(), "--protocol", "modbus", "--address", "1", "--interval-ms",
               "30", "--count", "5", "--output", "-"});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    std::vector<Row> rows;
    ASSERT_TRUE(CsvRows(rig.out, rows)) << rig.out;
    ExpectFiveRowsWithoutTemperature(rows, rig.delivered, kProtocolModbus, 1);
}

TEST(TiltlogPty, ListenOnlyRecordsAutomaticOutputWithoutAskingOnce) {
    SimProcess sim({"--auto-hz", "100", "--count", "20", "--auto-after-request"});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.Start({"--port", rig.Link(), "--interval-ms", "0", "--count", "21", "--output", "-"});
    ASSERT_TRUE(rig.WaitForError(", listening, to standard output\n")) << rig.err;
    // Set going from here: one reply, then twenty frames of its own.
    rig.Inject(BuildTarqFrame(kTarqReadAngles, 0));
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    std::vector<Row> rows;
    ASSERT_TRUE(CsvRows(rig.out, rows));
    EXPECT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows, WindowRows(rig.delivered, kProtocolTarq, 0));
    EXPECT_EQ(rig.requestsSeen, 0);
}

TEST(TiltlogPty, AFileSizeLimitSmallerThanAChunkLosesNoRow) {
    SimProcess sim({});
    const std::string out = TempFolder();
    // A few kilobytes: the first chunk alone is far past it.
    const std::string command = std::string("ulimit -f 8; exec ") + TILTLOG_PATH + " --port " +
                                sim.PtyPath() + " --interval-ms 1 --count 2000 --output " + out +
                                " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    size_t rows = 0, files = 0;
    for (const auto& e : std::filesystem::directory_iterator(out)) {
        std::ostringstream text;
        text << std::ifstream(e.path(), std::ios::binary).rdbuf();
        for (size_t at = 0; (at = text.str().find("\r\n", at)) != std::string::npos; at += 2)
            ++rows;
        if (text.str().rfind("X(deg)", 0) == 0) --rows;
        ++files;
    }
    EXPECT_EQ(rows, 2000u);
    EXPECT_GT(files, 2u);
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, DurationEndsTheRunOnTimeWithEveryRowRead) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    // Ten answers, long in before the end: a reply under way when the run ends
    // may be left unread, and how many are depends on the machine's load.
    rig.PassRequests(10);
    const auto start = std::chrono::steady_clock::now();
    rig.Start({"--port", rig.Link(), "--interval-ms", "50", "--duration", "1.5", "--output", "-"});
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::milliseconds(9500));
    std::vector<Row> rows;
    ASSERT_TRUE(CsvRows(rig.out, rows));
    EXPECT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows, WindowRows(rig.delivered, kProtocolTarq, 0));
}

TEST(TiltlogPty, SigtermWritesEveryRowReceivedThoughTheWriterIsNotDue) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(8);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--output", out}, true);
    // The terminal's status line tells when the eighth row is in.
    ASSERT_TRUE(rig.WaitForError(" Hz  miscount 0  rows 8 (")) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    const std::vector<Row> rows = OnlyFileRows(out);
    EXPECT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows, WindowRows(rig.delivered, kProtocolTarq, 0));
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, AFolderThatTakesNoFilesIsSaidOnceAtTheStartAndEndsWithStatusOne) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(1000);
    const std::string out = TempFolder();
    {
        record_test::ReadOnlyFolder readOnly(out);
        if (!readOnly.Ok()) GTEST_SKIP() << "no way to make a folder read-only here";
        const std::string reason = std::strerror(readOnly.Error());
        rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--output", out});
        ASSERT_TRUE(rig.WaitForError(": " + reason +
                                     "; the rows are held in memory and written when it can be\n"))
            << rig.err;
        EXPECT_EQ(rig.err.find("cannot write " + out + "/Tiltscope_"),
                  rig.err.find("cannot write "));
        // Some rows later, still said once: the next time is a minute on.
        ASSERT_TRUE(rig.WaitFor([&] { return rig.delivered.size() > 20 * 13; })) << rig.err;
        rig.Signal(SIGTERM);
        EXPECT_EQ(rig.Wait(), 1) << rig.err;
        EXPECT_EQ(Count(rig.err, "cannot write "), 1u) << rig.err;
        EXPECT_NE(rig.err.find(" rows could not be written to " + out + "/Tiltscope_"),
                  std::string::npos)
            << rig.err;
        EXPECT_NE(rig.err.find(".csv: " + reason + "\n"), std::string::npos) << rig.err;
    }
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, AFullDiskIsSaidOnceAndEveryRowIsWrittenWhenSpaceReturns) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(1000);
    const std::string out = TempFolder();
    {
        record_test::ScratchMount disk(out, 64 * 1024);
        if (!disk.Mounted()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
        disk.Fill("filler");
        rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--output", out}, true);
        ASSERT_TRUE(rig.WaitForError(": the disk is full (" + std::string(std::strerror(ENOSPC)) +
                                     "); the rows are held in memory until there is space\n"))
            << rig.err;
        std::filesystem::remove(out + "/filler");
        ASSERT_TRUE(rig.WaitForError(".csv again\n")) << rig.err;
        // A reply still on its way when the run ends is not the disk's to lose:
        // end only once tiltlog has every answer the sensor will give.
        rig.StopPassing();
        ASSERT_TRUE(rig.WaitForError("  rows " + std::to_string(rig.requestsPassed) + " ("))
            << rig.err;
        rig.Signal(SIGTERM);
        EXPECT_EQ(rig.Wait(), 0) << rig.err;
        EXPECT_EQ(Count(rig.err, "the disk is full"), 1u) << rig.err;
        EXPECT_EQ(OnlyFileRows(out), WindowRows(rig.delivered, kProtocolTarq, 0));
    }
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, ReconnectReopensAPulledAdapterAndLosesNoRow) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(5);
    const std::string out = TempFolder();
    rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--reconnect", "--output", out}, true);
    ASSERT_TRUE(rig.WaitForError("rows 5 (")) << rig.err;
    rig.Pull();
    ASSERT_TRUE(rig.WaitForError("lost " + rig.Link() + ": the device was removed"));
    ASSERT_TRUE(rig.WaitForError("cannot open " + rig.Link() +
                                 ": No such file or directory; trying again every second\n"));
    rig.Plug();
    ASSERT_TRUE(rig.WaitForError(rig.Link() + " open again\n")) << rig.err;
    rig.PassRequests(5);
    ASSERT_TRUE(rig.WaitForError("rows 10 (")) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    const std::vector<Row> rows = OnlyFileRows(out);
    EXPECT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows, WindowRows(rig.delivered, kProtocolTarq, 0));
    std::filesystem::remove_all(out);
}

TEST(TiltlogPty, ASingleSensorFallingSilentAndAnsweringAgainIsSaidOnceEach) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(5);
    rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--output", "-"});
    ASSERT_TRUE(rig.WaitForError("tiltlog: no answer from " + rig.Link() +
                                 " (5 requests in a row); still asking\n"))
        << rig.err;
    rig.PassRequests(1000);
    ASSERT_TRUE(rig.WaitForError("tiltlog: " + rig.Link() + " answers again\n")) << rig.err;
    ASSERT_TRUE(rig.WaitFor([&] { return Lines(rig.out) > 10; })) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_EQ(Count(rig.err, "no answer"), 1u) << rig.err;
    EXPECT_EQ(Count(rig.err, "answers again"), 1u) << rig.err;
}

TEST(TiltlogPty, ReconnectWaitsForADanglingLinksTargetAndNeverOpensTheTablesDevice) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.Pull();
    const std::string cfg = TempFolder();
    const std::string ini = EmptyConfig(cfg);
    // COM1's table device, /dev/ttyS0, is there on most PCs and must stay unused.
    std::filesystem::create_symlink(rig.Link(), cfg + "/ports/COM1");
    const std::string port = "COM1 (" + cfg + "/ports/COM1)";
    const std::string missing =
        "tiltlog: cannot open " + port + ": No such file or directory; trying again every second\n";
    const std::string out = TempFolder();
    rig.Start(
        {"--config", ini, "--port", "COM1", "--interval-ms", "30", "--reconnect", "--output", out},
        true);

    // Two status lines after the message: retries and ticks share the second and
    // a retry comes first, so the link has been tried again in between.
    const auto waitedTwoTicks = [&](size_t from) {
        return rig.WaitFor([&] { return Count(rig.err, "waiting for " + port, from) >= 2; });
    };
    ASSERT_TRUE(rig.WaitForError(missing)) << rig.err;
    ASSERT_TRUE(waitedTwoTicks(rig.err.find(missing))) << rig.err;
    rig.Plug();
    rig.PassRequests(5);
    ASSERT_TRUE(rig.WaitForError("tiltlog: logging " + port + " at 9600 8N1")) << rig.err;
    ASSERT_TRUE(rig.WaitForError("rows 5 (")) << rig.err;
    EXPECT_EQ(Count(rig.err, "cannot open"), 1u) << rig.err;

    // Unplugged while logging: the recording goes on only with the link's own target.
    rig.Pull();
    ASSERT_TRUE(rig.WaitForError("tiltlog: lost " + port + ": the device was removed")) << rig.err;
    const size_t lost = rig.err.find("tiltlog: lost ");
    ASSERT_TRUE(rig.WaitFor([&] { return Count(rig.err, missing, lost) == 1; })) << rig.err;
    ASSERT_TRUE(waitedTwoTicks(rig.err.find(missing, lost))) << rig.err;
    rig.Plug();
    ASSERT_TRUE(rig.WaitForError("tiltlog: " + port + " open again\n")) << rig.err;
    rig.PassRequests(5);
    ASSERT_TRUE(rig.WaitForError("rows 10 (")) << rig.err;
    EXPECT_EQ(Count(rig.err, "cannot open"), 2u) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    const std::vector<Row> rows = OnlyFileRows(out);
    EXPECT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows, WindowRows(rig.delivered, kProtocolTarq, 0));
    std::filesystem::remove_all(out);
    std::filesystem::remove_all(cfg);
}

TEST(TiltlogPty, ConfigFileChoosesTheLinkAndALostPortEndsWithStatusThree) {
    const std::string cfg = TempFolder();
    SimProcess sim({"--protocol", "modbus", "--link", "COM7", "--ports-dir", cfg + "/ports",
                    "--unplug-after", "4"});
    std::ofstream(cfg + "/Config.ini") << "[Config]\r\nMODEL=Site4\r\nPROTOCOL=1\r\nADDR=0\r\n"
                                       << "Ratio=0.001\r\nPATH=" << cfg << "/data\r\nCOM=7\r\n"
                                       << "BAUD=5\r\nPARITY=2\r\n";
    Rig rig;
    rig.Start({"--config", cfg + "/Config.ini", "--interval-ms", "30"});
    EXPECT_EQ(rig.Wait(), 3);
    EXPECT_NE(rig.err.find("logging COM7 (" + cfg +
                           "/ports/COM7) at 115200 8E1, modbus address 1, polling every 30 ms"),
              std::string::npos)
        << rig.err;
    EXPECT_NE(rig.err.find("\ntiltlog: lost COM7"), std::string::npos) << rig.err;
    const std::vector<Row> rows = OnlyFileRows(cfg + "/data", "Site4");
    // The reply written just before the unplug may go down with the line.
    EXPECT_GE(rows.size(), 3u);
    EXPECT_LE(rows.size(), 4u);
    for (const Row& r : rows) EXPECT_EQ(r.t.size() - r.t.find('.'), 4u) << r.t;
    std::filesystem::remove_all(cfg);
}

// What the package's launcher does for a user: name the user's tree. tiltsim
// registers there and tiltlog finds the port and records there, wherever
// either is started from.
TEST(TiltlogPty, WithTheLaunchersTreeThePortAndTheFilesAreInTheTree) {
    struct TreeVariable {
        explicit TreeVariable(const std::string& tree) {
            ::setenv("TILTSCOPE_TREE", tree.c_str(), 1);
        }
        ~TreeVariable() { ::unsetenv("TILTSCOPE_TREE"); }
    };
    const std::string tree = TempFolder();
    std::filesystem::create_directories(tree + "/config");
    {
        const TreeVariable variable(tree);
        SimProcess sim({"--link", "COM1"});
        ASSERT_TRUE(std::filesystem::is_symlink(tree + "/config/ports/COM1"));
        Rig rig;
        rig.Start({"--interval-ms", "30", "--count", "3"});
        EXPECT_EQ(rig.Wait(), 0) << rig.err;
        EXPECT_NE(rig.err.find("(" + tree + "/config/ports/COM1)"), std::string::npos) << rig.err;
        EXPECT_EQ(OnlyFileRows(tree + "/data").size(), 3u);
    }
    std::filesystem::remove_all(tree);
}

TEST(TiltlogPty, AReaderThatGoesAwayEndsTheRunWithStatusZero) {
    SimProcess sim({});
    Rig rig(sim.PtyPath(), kTarqRequest);
    rig.PassRequests(1000);
    rig.Start({"--port", rig.Link(), "--interval-ms", "30", "--output", "-"});
    ASSERT_TRUE(rig.WaitFor([&] { return Lines(rig.out) > 2; })) << rig.err;
    rig.CloseStdout();
    EXPECT_EQ(rig.Wait(), 0) << rig.err;
}

TEST(TiltlogUsage, EveryBadOptionGetsOneLineNamingItAndStatusTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--port", "ttyS0"}, "--port"},
        {{"--port", "COM200"}, "--port"},
        {{"--baud", "1200"}, "--baud"},
        {{"--parity", "M"}, "--parity"},
        {{"--protocol", "rtu"}, "--protocol"},
        {{"--address", "256"}, "--address"},
        {{"--interval-ms", "-5"}, "--interval-ms"},
        {{"--ratio", "fine"}, "--ratio"},
        {{"--xrange", "deg90"}, "--xrange"},
        {{"--yrange", ""}, "--yrange"},
        {{"--output", ""}, "--output"},
        {{"--output", "/etc/passwd/x"}, "--output"},
        {{"--prefix", "a/b"}, "--prefix"},
        {{"--duration", "0"}, "--duration"},
        {{"--count", "ten"}, "--count"},
        {{"--config", "/nonexistent.ini"}, "--config"},
        {{"--colour"}, "--colour"},
        {{"--count"}, "--count"},
        {{"--reconnect=yes"}, "--reconnect"},
        {{"stray"}, "stray"},
    };
    for (const auto& [args, name] : cases) {
        Rig rig;
        rig.Start(args);
        EXPECT_EQ(rig.Wait(), 2) << name;
        EXPECT_EQ(rig.err.rfind("tiltlog: ", 0), 0u) << rig.err;
        EXPECT_EQ(rig.err.find('\n'), rig.err.size() - 1) << rig.err;
        EXPECT_NE(rig.err.find(name), std::string::npos) << rig.err;
        EXPECT_EQ(rig.out, "");
    }
}

TEST(TiltlogUsage, AMissingPortGivesTheSystemsReasonAndStatusThreeUnlessReconnecting) {
    Rig once;
    once.Start({"--port", "/dev/tiltlog-none", "--output", "-"});
    EXPECT_EQ(once.Wait(), 3);
    EXPECT_EQ(once.err, "tiltlog: cannot open /dev/tiltlog-none: No such file or directory\n");
    EXPECT_EQ(once.out, "");

    Rig waiting;
    waiting.Start({"--port", "/dev/tiltlog-none", "--output", "-", "--reconnect"});
    ASSERT_TRUE(
        waiting.WaitForError("tiltlog: cannot open /dev/tiltlog-none: No such file or "
                             "directory; trying again every second\n"));
    waiting.Signal(SIGINT);
    EXPECT_EQ(waiting.Wait(), 0);
    EXPECT_EQ(waiting.out, "");
}

TEST(TiltlogUsage, APortTheUserMayNotOpenNamesItsGroupAndTheCommandThatAddsThem) {
    SimProcess sim({});
    RefusedDevice refused(sim.PtyPath(), "");
    if (!refused.Ok()) GTEST_SKIP() << "cannot take this device away from the test's user";
    const std::string tiltlog = refused.Reachable(TILTLOG_PATH);
    int err[2];
    ASSERT_EQ(::pipe(err), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err[1], 2);
        ::close(err[0]);
        if (!refused.BecomeRefusedUser()) ::_exit(126);
        ::execl(tiltlog.c_str(), "tiltlog", "--port", sim.PtyPath().c_str(), "--output", "-",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(err[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(err[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << text;
    const std::string user = ::geteuid() == 0 ? "nobody" : RefusedDevice::UserName();
    EXPECT_NE(text.find(": " + std::string(std::strerror(EACCES)) + "\ntiltlog: You may not open " +
                        sim.PtyPath() + ": it belongs to the group " + refused.Group() +
                        ". Add yourself to it with\n  sudo usermod -aG " + refused.Group() + " " +
                        user + "\nthen log out and in again.\n"),
              std::string::npos)
        << text;
}

TEST(TiltlogUsage, ADanglingComLinkIsAMissingPortWithStatusThree) {
    const std::string cfg = TempFolder();
    const std::string ini = EmptyConfig(cfg);
    std::filesystem::create_symlink(cfg + "/unplugged-adapter", cfg + "/ports/COM1");
    Rig rig;
    rig.Start({"--config", ini, "--port", "COM1", "--output", "-"});
    EXPECT_EQ(rig.Wait(), 3);
    EXPECT_EQ(rig.err,
              "tiltlog: cannot open COM1 (" + cfg + "/ports/COM1): No such file or directory\n");
    EXPECT_EQ(rig.out, "");
    std::filesystem::remove_all(cfg);
}

TEST(TiltlogUsage, HelpListsEveryOptionTheDefaultsAndTheExitStatuses) {
    Rig rig;
    rig.Start({"--help"});
    EXPECT_EQ(rig.Wait(), 0);
    for (const char* s :
         {"--port", "--baud", "--parity", "--protocol", "--address", "--interval-ms", "--ratio",
          "--xrange", "--yrange", "--output", "--prefix", "--duration", "--count", "--config",
          "--reconnect", "(default 200)", "(default 9600)", "Exit status", "  3  "})
        EXPECT_NE(rig.out.find(s), std::string::npos) << s;
}

}  // namespace
