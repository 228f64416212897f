#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "RecordTestSupport.h"
#include "WindowFixture.h"

namespace {

using record_test::At;
using record_test::FakeClock;
using record_test::ReadFile;

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

    FakeClock clock{At(2024, 3, 5, 9, 7, 3, 45)};
};

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
