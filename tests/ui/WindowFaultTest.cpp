#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "AcquisitionCycle.h"
#include "RecordTestSupport.h"
#include "SimProcess.h"
#include "WindowFixture.h"

namespace {

class WindowFaultTest : public PortWindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> StartWithSim(const std::vector<std::string>& args) {
        sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->Started());
        ports.Link(150, sim->PtyPath());
        return StartOnPort(150, 2);
    }

    static size_t CsvRows(const std::string& path) {
        const std::string text = record_test::ReadFile(path);
        const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
        return lines > 0 ? lines - 1 : 0;  // the header
    }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(WindowFaultTest, MissingConfigFolderRunsOnBuiltInsWithoutMessages) {
    ini = std::make_unique<CIniFile>(scratch.Root() + "/no-such-folder/Config.ini");
    auto dlg = Make(Language::English);
    EXPECT_TRUE(dlg->Initialised());
    qobject_cast<QRadioButton*>(dlg->Control(1056))->click();
    EXPECT_EQ(languageFlag, 0);  // the run-time language still follows the click
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(scratch.Root() + "/no-such-folder"));
}

TEST_F(WindowFaultTest, RecordingASensorIntoAFolderThatTakesNoFilesIsToldOnceAndStops) {
    const std::string data = scratch.Root() + "/data";
    std::filesystem::create_directories(data);
    record_test::ReadOnlyFolder readOnly(data);
    if (!readOnly.Ok()) GTEST_SKIP() << "no way to make a folder read-only here";
    auto dlg = StartWithSim({"--auto-hz", "100"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Stats().measurements > 5; }));
    RecordButton(*dlg)->click();
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Recorder().Fault().number == 1; }));
    timers.Tick(kReadoutTimer);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find(std::strerror(readOnly.Error())), std::string::npos)
        << messages.shown[0].text;
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Start"));
    const uint64_t seen = dlg->Stats().measurements;
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Stats().measurements > seen + 50; }));
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(data));
}

TEST_F(WindowFaultTest, ClosingWhileAFullDiskHoldsTheSensorsRowsAsksAndWritesEveryOne) {
    const std::string data = scratch.Root() + "/data";
    record_test::ScratchMount disk(data, 64 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    disk.Fill("filler");
    auto dlg = StartWithSim({"--auto-hz", "100"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    dlg->show();
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Stats().measurements > 5; }));
    RecordButton(*dlg)->click();
    const uint64_t before = dlg->Stats().measurements;
    const std::string file = dlg->Recorder().CurrentPath();
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Recorder().Fault().number == 1; }));
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Stats().measurements > before + 100; }));
    timers.Tick(kReadoutTimer);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("The disk is full: " + file, 0), 0u)
        << messages.shown[0].text;
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Stop"));

    messages.answers = {true};
    // Room is made while the box about the held rows is open.
    messages.whileShown = [&] {
        if (!messages.asked.empty()) std::filesystem::remove(data + "/filler");
    };
    dlg->close();
    messages.whileShown = nullptr;
    ASSERT_EQ(messages.asked.size(), 1u);
    const uint64_t recorded = dlg->Stats().measurements - before;
    EXPECT_EQ(CsvRows(file), recorded);
    EXPECT_EQ(dlg->Recorder().Stats().rowsWritten, recorded);
    EXPECT_EQ(dlg->Recorder().Stats().rowsAbandoned, 0u);
}

TEST_F(WindowFaultTest, ClosingWhileTheSensorStreamsDoesNotHang) {
    auto dlg = StartWithSim({"--auto-hz", "max"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    dlg->show();
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Receive().ReplySeen(); }));
    const auto start = std::chrono::steady_clock::now();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    dlg.reset();  // the window goes while deliveries are queued and in flight
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(port->MonitorAlive());
    QApplication::processEvents();  // calls queued to the gone window are dropped
}

TEST_F(WindowFaultTest, ClosingWithASettingsCommandPendingIsQuiet) {
    auto dlg = StartWithSim({"--silent"});
    qobject_cast<QPushButton*>(dlg->Control(1028))->click();  // set zero, never answered
    EXPECT_TRUE(timers.IsRunning(3));
    dlg->show();
    dlg->close();
    dlg.reset();
    QApplication::processEvents();
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowFaultTest, PulledAdapterWhileRecordingKeepsEveryRowReceivedBeforeIt) {
    // 400 frames from the first request on, then the adapter is gone.
    auto dlg = StartWithSim(
        {"--auto-hz", "2000", "--auto-after-request", "--silent", "--unplug-after", "400"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    RecordButton(*dlg)->click();
    const std::string file = dlg->Recorder().CurrentPath();
    timers.Tick(kPollTimer);
    ASSERT_TRUE(ProcessUntil([&] { return port->HasFailed(); }));

    // The next tick finds the port gone and closes the link: no box, no hang.
    for (int i = 0; i < 5; ++i) timers.Tick(kPollTimer);
    QApplication::processEvents();
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_TRUE(messages.shown.empty());

    // Every frame that reached the window is a row. The kernel throws away what
    // a hung-up line still held, so that can be a few short of the 400 sent.
    const int received = dlg->Receive().FramesThisSecond();
    EXPECT_GT(received, 0);
    EXPECT_LE(received, 400);
    EXPECT_EQ(dlg->Receive().Miscount(), 0);
    RecordButton(*dlg)->click();  // stop: what is buffered goes to the file
    EXPECT_EQ(CsvRows(file), static_cast<size_t>(received));
    EXPECT_EQ(dlg->Recorder().Stats().rowsDropped, 0u);
}

TEST_F(WindowFaultTest, PollsCuttingIntoTheSensorsOwnOutputLoseNoFrame) {
    // Frames in 3-byte pieces 2 ms apart, and a poll at every turn of the loop:
    // most polls go out while a frame is half in.
    auto dlg = StartWithSim(
        {"--auto-hz", "200", "--count", "100", "--split", "--auto-after-request", "--silent"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    const ReceivePath& path = dlg->Receive();
    ASSERT_TRUE(ProcessUntil(
        [&] {
            timers.Tick(kPollTimer);
            return path.FramesThisSecond() >= 100;
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(path.FramesThisSecond(), 100);
    EXPECT_EQ(path.Miscount(), 0);
}

// Milliseconds since midnight of each row's time stamp ("... h:m:s'ms ").
std::vector<long> RowTimes(const std::string& path) {
    std::vector<long> times;
    const std::string text = record_test::ReadFile(path);
    size_t at = text.find('\n');  // past the header
    while (at != std::string::npos && at + 1 < text.size()) {
        const size_t end = text.find('\n', at + 1);
        const std::string row = text.substr(at + 1, end - at - 1);
        const size_t comma = row.rfind(',');
        int h = 0, m = 0, sec = 0, ms = 0;
        if (comma != std::string::npos &&
            std::sscanf(row.c_str() + comma + 1, "%*d-%*d-%*d %d:%d:%d'%d", &h, &m, &sec, &ms) == 4)
            times.push_back(((h * 60L + m) * 60 + sec) * 1000 + ms);
        at = end;
    }
    return times;
}

TEST_F(WindowFaultTest, ResultBoxHeldOpenStopsNeitherReceptionNorPollsNorRows) {
    auto dlg = StartWithSim({"--auto-hz", "100"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Stats().measurements > 10; }));
    RecordButton(*dlg)->click();
    const std::string file = dlg->Recorder().CurrentPath();

    // The operator leaves the result box open for ten seconds; meanwhile the
    // window's timers go on as they do under a real box.
    int pollsWhileOpen = 0;
    uint64_t atOpen = 0;
    messages.whileShown = [&] {
        atOpen = dlg->Stats().measurements;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        auto nextPoll = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < until) {
            if (std::chrono::steady_clock::now() >= nextPoll) {
                timers.Tick(kPollTimer);
                ++pollsWhileOpen;
                nextPoll += std::chrono::milliseconds(200);
            }
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    };
    qobject_cast<QPushButton*>(dlg->Control(1028))->click();  // set zero: acknowledged
    ASSERT_TRUE(ProcessUntil([&] { return !messages.shown.empty(); }));
    messages.whileShown = nullptr;
    ASSERT_EQ(messages.shown[0].text, "Set zero successfully!");
    // About 1000 frames came in while the box was open; a box that held the
    // thread lets none in. The bounds leave room for a loaded machine.
    EXPECT_GT(dlg->Stats().measurements - atOpen, 100u);
    EXPECT_GT(pollsWhileOpen, 10);
    RecordButton(*dlg)->click();

    const std::vector<long> times = RowTimes(file);
    EXPECT_EQ(times.size(), dlg->Recorder().Stats().rowsWritten);
    EXPECT_EQ(dlg->Recorder().Stats().rowsDropped, 0u);
    ASSERT_GT(times.size(), 200u);
    long worst = 0;
    for (size_t i = 1; i < times.size(); ++i) worst = std::max(worst, times[i] - times[i - 1]);
    // A box that held the thread would leave a gap of its ten seconds; a loaded
    // machine may delay deliveries, never by that much.
    EXPECT_LE(worst, 5000) << "largest gap between rows, ms";
}

TEST_F(WindowFaultTest, SilentSensorLeavesTheWindowQuietAndResponsive) {
    auto dlg = StartWithSim({"--silent"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    RecordButton(*dlg)->click();
    for (int i = 0; i < 10; ++i) {
        timers.Tick(kPollTimer);
        QApplication::processEvents();
    }
    timers.Tick(kReadoutTimer);
    // The requests went out and were echoed; nothing came back.
    const QString pane = qobject_cast<QPlainTextEdit*>(dlg->Control(1015))->toPlainText();
    EXPECT_TRUE(pane.contains(QStringLiteral("TX: 68 04 00 04 08"))) << pane.toStdString();
    EXPECT_FALSE(pane.contains(QStringLiteral("RX:"))) << pane.toStdString();
    EXPECT_EQ(dlg->Stats().framesCounted, 0u);
    EXPECT_EQ(dlg->Receive().Miscount(), 0);
    EXPECT_TRUE(messages.shown.empty());
    RecordButton(*dlg)->click();
    EXPECT_EQ(dlg->Recorder().Stats().rowsWritten, 0u);
}

TEST_F(WindowFaultTest, LineNoiseAtFullSpeedNeitherHangsNorStopsTheReplies) {
    // Random bytes of every value as fast as the line takes them.
    auto dlg =
        StartWithSim({"--garbage", "--auto-hz", "max", "--count", "20000", "--auto-after-request"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    // Polled as the window would be, amid the noise: replies still come
    // through. Frames the noise happens to form fail their checksum: counted,
    // and counted as miscounts, so the difference is the good replies.
    const ReceivePath& path = dlg->Receive();
    ASSERT_TRUE(ProcessUntil(
        [&] {
            timers.Tick(kPollTimer);
            return path.FramesThisSecond() - path.Miscount() >= 5;
        },
        std::chrono::seconds(20)));
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
