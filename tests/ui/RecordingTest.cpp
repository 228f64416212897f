#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "AcquisitionCycle.h"
#include "RecordTestSupport.h"
#include "WindowFixture.h"

namespace {

using record_test::At;
using record_test::Eventually;
using record_test::FakeClock;
using record_test::ReadFile;
namespace fs = std::filesystem;

class RecordingTest : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> Open() {
        DialogContext c = Context(Language::English);
        c.clock = &clock;
        auto dlg = std::make_unique<CTiltwiseDlg>(c);
        dlg->InitWindow();
        return dlg;
    }
    static std::string ShownPath(CTiltwiseDlg& dlg) {
        return qobject_cast<QLineEdit*>(dlg.Control(1073))->text().toStdString();
    }
    void Deliver(CTiltwiseDlg& dlg, int n) {
        for (int i = 0; i < n; ++i) {
            clock.AdvanceMs(37);
            dlg.DeliverMeasurement(Measurement{i * 0.5, -1.25, 23.5});
        }
    }

    void ReadoutTick() { timers.Tick(kReadoutTimer); }
    static size_t Lines(const std::string& text) {
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }
    std::string Data() const { return scratch.Root() + "/data"; }
    // The data folder on a small file system of its own, full. False without root.
    bool FullDataDisk() {
        disk_ = std::make_unique<record_test::ScratchMount>(Data(), 64 * 1024);
        if (disk_->Mounted()) disk_->Fill("filler");
        return disk_->Mounted();
    }
    std::unique_ptr<record_test::ScratchMount> disk_;

    FakeClock clock{At(2024, 3, 5, 9, 7, 3, 45)};
};

TEST_F(RecordingTest, FolderThatTakesNoFilesIsToldOnceAndTheButtonShowsTheRecordingStopped) {
    fs::create_directories(Data());
    record_test::ReadOnlyFolder readOnly(Data());
    if (!readOnly.Ok()) GTEST_SKIP() << "no way to make a folder read-only here";
    auto dlg = Open();
    RecordButton(*dlg)->click();
    const std::string file = ShownPath(*dlg);
    Deliver(*dlg, 3);
    ASSERT_TRUE(Eventually([&] { return dlg->Recorder().Fault().number == 1; }));
    ReadoutTick();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Cannot create the recording file " + file + ": " +
                                          std::strerror(readOnly.Error()) +
                                          ". Recording has stopped.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Start"));
    EXPECT_FALSE(dlg->Recorder().IsRecording());
    ReadoutTick();
    ReadoutTick();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(RecordingTest, DataFolderThatCannotBeMadeIsToldInChineseWithTheSystemsReason) {
    std::ofstream(scratch.Root() + "/stick") << "a file where a folder should be\n";
    ini->WriteString("PATH", scratch.Root() + "/stick/data");
    DialogContext c = Context(Language::Chinese);
    c.clock = &clock;
    CTiltwiseDlg dlg(c);
    dlg.InitWindow();
    RecordButton(dlg)->click();
    const std::string file = ShownPath(dlg);
    ASSERT_TRUE(Eventually([&] { return dlg.Recorder().Fault().number == 1; }));
    ReadoutTick();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "无法创建记录文件 " + file + "：" + std::strerror(ENOTDIR) + "。记录已停止。");
    EXPECT_EQ(RecordButton(dlg)->text(), QString::fromUtf8("开始"));
}

TEST_F(RecordingTest, FullDiskIsToldOnceAndTheRecordingGoesOnWhenSpaceReturns) {
    if (!FullDataDisk()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    auto dlg = Open();
    RecordButton(*dlg)->click();
    const std::string file = ShownPath(*dlg);
    Deliver(*dlg, 20);
    ASSERT_TRUE(dlg->Recorder().WriteNow(std::chrono::seconds(10)));
    ReadoutTick();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The disk is full: " + file + " takes no more rows (" + std::strerror(ENOSPC) +
                  "). The rows are kept in memory and written as soon as there is space.");
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Stop"));
    Deliver(*dlg, 20);
    ASSERT_TRUE(dlg->Recorder().WriteNow(std::chrono::seconds(10)));
    ReadoutTick();
    EXPECT_EQ(messages.shown.size(), 1u);

    fs::remove(Data() + "/filler");
    Deliver(*dlg, 10);
    ASSERT_TRUE(dlg->Recorder().WriteNow(std::chrono::seconds(10)));
    ReadoutTick();
    EXPECT_EQ(messages.shown.size(), 1u);  // writing again needs no box
    RecordButton(*dlg)->click();
    EXPECT_EQ(Lines(ReadFile(file)), 51u);
    EXPECT_EQ(dlg->Recorder().Stats().rowsWritten, 50u);
}

TEST_F(RecordingTest, ClosingWithRowsTheDiskRefusesAsksAndTryingAgainWritesThem) {
    if (!FullDataDisk()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    auto dlg = Open();
    dlg->show();
    RecordButton(*dlg)->click();
    const std::string file = ShownPath(*dlg);
    Deliver(*dlg, 12);
    messages.answers = {true, true};
    messages.whileShown = [&] {
        // The operator makes room before the second try.
        if (messages.asked.size() == 2) fs::remove(Data() + "/filler");
    };
    dlg->close();
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[0].text, "12 rows have not been written to " + file + " (" +
                                          std::strerror(ENOSPC) + "). Try again, or discard them?");
    EXPECT_EQ(messages.asked[0].retry, "Try again");
    EXPECT_EQ(messages.asked[0].discard, "Discard");
    EXPECT_EQ(Lines(ReadFile(file)), 13u);
    EXPECT_EQ(dlg->Recorder().Stats().rowsAbandoned, 0u);
}

TEST_F(RecordingTest, ClosingWithRowsTheDiskRefusesAndDiscardingCountsThemAbandoned) {
    if (!FullDataDisk()) GTEST_SKIP() << "mounting a file system of the test's own needs root";
    auto dlg = Open();
    dlg->show();
    RecordButton(*dlg)->click();
    Deliver(*dlg, 7);
    dlg->close();  // no answer left: discard
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(dlg->Recorder().Stats().rowsAbandoned, 7u);
    EXPECT_FALSE(dlg->Recorder().IsRecording());
}

TEST_F(RecordingTest, ClosingWithEveryRowWrittenAsksNothing) {
    auto dlg = Open();
    dlg->show();
    RecordButton(*dlg)->click();
    Deliver(*dlg, 4);
    dlg->close();
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingTest, ClosingWhileRecordingAsksAndNoKeepsItRecording) {
    auto dlg = Open();
    dlg->show();
    RecordButton(*dlg)->click();
    const std::string file = ShownPath(*dlg);
    Deliver(*dlg, 3);
    messages.yesNoAnswers = {false, false, true};
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    dlg->close();  // the window's close button
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->Recorder().IsRecording());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);  // yes
    ASSERT_EQ(messages.questions.size(), 3u);
    EXPECT_EQ(messages.questions[0].text, "Recording is in progress. Stop recording and quit?");
    EXPECT_EQ(messages.questions[0].retry + messages.questions[0].discard, "YesNo");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Lines(ReadFile(file)), 4u);
}

TEST_F(RecordingTest, ClosingAsksInChineseAndASignalClosesWithoutAsking) {
    CTiltwiseDlg dlg(Context(Language::Chinese));
    dlg.InitWindow();
    dlg.show();
    RecordButton(dlg)->click();
    messages.yesNoAnswers = {false};
    QTest::keyClick(&dlg, Qt::Key_Escape);
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0].text, "正在记录数据。停止记录并退出吗？");
    EXPECT_EQ(messages.questions[0].retry + messages.questions[0].discard, "是否");
    dlg.CloseWithoutAsking();
    EXPECT_EQ(messages.questions.size(), 1u);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Recorder().IsRecording());
}

TEST_F(RecordingTest, ModelThatLeadsOutOfTheDataFolderIsRefusedOnceAndTheBuiltInUsed) {
    ini->WriteString("MODEL", "../../escaped-x");
    auto dlg = Open();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "MODEL=../../escaped-x in Config.ini cannot begin a file name (no /, .. or control "
              "characters); \"Tiltscope\" is used.");
    EXPECT_EQ(ShownPath(*dlg), scratch.Root() + "/data/Tiltscope_20240305090703.csv");
    RecordButton(*dlg)->click();
    Deliver(*dlg, 3);
    RecordButton(*dlg)->click();
    EXPECT_TRUE(std::filesystem::exists(ShownPath(*dlg)));
    EXPECT_FALSE(std::filesystem::exists(scratch.Root() + "/../escaped-x_20240305090703.csv"));
}

TEST_F(RecordingTest, RecordButtonWritesEveryRowWithTheHeader) {
    auto dlg = Open();
    const std::string data = scratch.Root() + "/data";
    EXPECT_EQ(ShownPath(*dlg), data + "/Tiltscope_20240305090703.csv");
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Save"));  // the template caption

    clock.AdvanceMs(1000);
    RecordButton(*dlg)->click();
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Stop"));
    const std::string file = ShownPath(*dlg);
    EXPECT_EQ(file, data + "/Tiltscope_20240305090704.csv");
    Deliver(*dlg, 10);
    RecordButton(*dlg)->click();  // stop writes what is buffered
    EXPECT_EQ(RecordButton(*dlg)->text(), QStringLiteral("Start"));

    const std::string text = ReadFile(file);
    EXPECT_EQ(
        text.rfind("X(deg),Y(deg),Temperature, Time\r\n0.00,-1.25,23.50,2024-3-5 9:7:4'82 \r\n", 0),
        0u)
        << text;
    size_t rows = 0;
    for (char ch : text) rows += ch == '\n';
    EXPECT_EQ(rows, 11u);
}

TEST_F(RecordingTest, BrowseMidRecordingContinuesInTheNewFolderWithoutHeader) {
    auto dlg = Open();
    RecordButton(*dlg)->click();
    const std::string first = ShownPath(*dlg);
    Deliver(*dlg, 3);

    const std::string other = scratch.Root() + "/elsewhere";
    std::filesystem::create_directories(other);
    folders.answer = other;
    clock.AdvanceMs(2000);
    qobject_cast<QPushButton*>(dlg->Control(1016))->click();
    ASSERT_EQ(folders.titles.size(), 1u);
    EXPECT_EQ(folders.titles[0], "Please select the data storage path");
    EXPECT_EQ(ini->ReadString("PATH"), other);
    const std::string second = ShownPath(*dlg);
    EXPECT_EQ(second.rfind(other + "/Tiltscope_", 0), 0u) << second;
    Deliver(*dlg, 4);
    RecordButton(*dlg)->click();

    EXPECT_EQ(ReadFile(first).rfind("X(deg)", 0), 0u);
    const std::string moved = ReadFile(second);
    EXPECT_NE(moved.rfind("X(deg)", 0), 0u) << moved;
    EXPECT_EQ(std::count(moved.begin(), moved.end(), '\n'), 4);
}

TEST_F(RecordingTest, BrowseOpensInTheCurrentDataFolder) {
    const std::string chosen = scratch.Root() + "/site-a";
    ini->WriteString("PATH", chosen);
    auto dlg = Open();
    folders.answer.clear();
    qobject_cast<QPushButton*>(dlg->Control(1016))->click();
    folders.answer = scratch.Root() + "/site-b";
    qobject_cast<QPushButton*>(dlg->Control(1016))->click();
    qobject_cast<QPushButton*>(dlg->Control(1016))->click();
    EXPECT_EQ(folders.starts,
              (std::vector<std::string>{chosen, chosen, scratch.Root() + "/site-b"}));
}

TEST_F(RecordingTest, CancelledBrowseKeepsTheFolderButTakesAFreshName) {
    auto dlg = Open();
    const std::string before = ShownPath(*dlg);
    folders.answer.clear();
    clock.AdvanceMs(5000);
    qobject_cast<QPushButton*>(dlg->Control(1016))->click();
    const std::string after = ShownPath(*dlg);
    EXPECT_NE(after, before);
    EXPECT_EQ(std::filesystem::path(after).parent_path(),
              std::filesystem::path(before).parent_path());
}

TEST_F(RecordingTest, ClosingTheWindowWritesWhatIsBuffered) {
    auto dlg = Open();
    dlg->show();
    RecordButton(*dlg)->click();
    const std::string file = ShownPath(*dlg);
    Deliver(*dlg, 5);
    dlg->close();
    const std::string text = ReadFile(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

TEST_F(RecordingTest, FileSizeLimitMidRecordingLosesNoRow) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto child = [&] {
        record_test::FileSizeLimit limit(1500);
        auto dlg = Open();
        RecordButton(*dlg)->click();
        const std::string first = ShownPath(*dlg);
        Deliver(*dlg, 20);  // about 900 bytes with the header
        record_test::Check(dlg->Recorder().WriteNow(std::chrono::seconds(10)), "first write");
        Deliver(*dlg, 20);  // these would take the file past the limit
        record_test::Check(dlg->Recorder().WriteNow(std::chrono::seconds(10)), "second write");
        RecordButton(*dlg)->click();
        limit.Lift();

        const std::string second = dlg->Recorder().CurrentPath();
        record_test::Check(second != first, "no second file");
        const std::string a = ReadFile(first), b = ReadFile(second);
        record_test::Check(std::count(a.begin(), a.end(), '\n') == 21, "first file rows");
        record_test::Check(std::count(b.begin(), b.end(), '\n') == 20, "second file rows");
        record_test::Check(b.rfind("X(deg)", 0) != 0, "header repeated");
        record_test::Check(dlg->Recorder().Stats().rowsDropped == 0, "rows dropped");
        dlg.reset();
        std::filesystem::remove_all(scratch.Root());
        // Straight out: Qt's font caches are never torn down in a child, and the
        // leak check at a normal exit would count them.
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
