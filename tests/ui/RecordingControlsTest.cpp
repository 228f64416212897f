#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "CsvRecorder.h"
#include "RecorderGroup.h"
#include "RecordingControls.h"
#include "Settings.h"
#include "UiFakes.h"

namespace {

class FixedClock : public Clock {
public:
    LocalTime Now() override { return LocalTime{2026, 12, 9, 20, 15, 0, 0}; }
};

class NoStore : public SettingsStore {
public:
    int ReadInt(const std::string&, int fallback) const override { return fallback; }
    void WriteString(const std::string& key, const std::string& value) override {
        written[key] = value;
    }
    void WriteInt(const std::string&, int) override {}
    std::map<std::string, std::string> written;
};

class RecordingControlsTest : public ::testing::Test {
protected:
    void SetUp() override { settings.CsvFolder = scratch.Root() + "/data"; }
    RecordingControls Make(FolderPicker* picker) {
        return RecordingControls(button, field, recorders, settings, store, Language::English,
                                 &messages, picker,
                                 [this](const std::string& text, const std::string&, BoxIcon) {
                                     boxes.push_back(text);
                                 });
    }
    ScratchFolder scratch;
    FixedClock clock;
    CsvRecorder recorder{clock};
    RecorderGroup recorders{recorder, clock};
    QPushButton button{QStringLiteral("Start")};
    QLineEdit field;
    Settings settings;
    NoStore store;
    RecordingMessages messages;
    std::vector<std::string> boxes;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST_F(RecordingControlsTest, RecordButtonNamesWhatItsNextClickDoes) {
    RecordingControls controls = Make(nullptr);
    controls.MakeFirstCsvFileName();
    const QString first = field.text();
    EXPECT_TRUE(first.startsWith(QString::fromStdString(settings.CsvFolder)))
        << first.toStdString();

    controls.OnRecordClicked();
    ASSERT_TRUE(recorder.IsRecording());
    EXPECT_EQ(button.text(), QStringLiteral("Stop"));
    EXPECT_TRUE(button.accessibleName().contains(QStringLiteral("Stop")))
        << button.accessibleName().toStdString();
    EXPECT_EQ(field.text().toStdString(), recorder.CurrentPath());

    controls.OnRecordClicked();
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(button.text(), QStringLiteral("Start"));
    EXPECT_TRUE(button.accessibleName().contains(QStringLiteral("Start")));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(messages.asked.empty());
}

TEST_F(RecordingControlsTest, BrowseStoresTheChosenFolderAndWithoutAPickerKeepsIt) {
    CannedFolders folders;
    folders.answer = scratch.Root() + "/chosen";
    RecordingControls controls = Make(&folders);
    controls.OnBrowseClicked();
    EXPECT_EQ(settings.CsvFolder, folders.answer);
    EXPECT_EQ(store.written["PATH"], folders.answer);
    EXPECT_TRUE(field.text().startsWith(QString::fromStdString(folders.answer)));

    RecordingControls without = Make(nullptr);
    store.written.clear();
    without.OnBrowseClicked();
    EXPECT_EQ(settings.CsvFolder, folders.answer);
    EXPECT_TRUE(store.written.empty());
}

TEST_F(RecordingControlsTest, BrowseContinuesEverySensorOfABusInTheChosenFolder) {
    CannedFolders folders;
    folders.answer = scratch.Root() + "/chosen";
    std::filesystem::create_directories(folders.answer);
    RecordingControls controls = Make(&folders);
    controls.SetAddresses({4, 2});
    controls.OnRecordClicked();
    const std::string name4 = "/Tiltscope_A4_20261209201500.csv";
    const std::string name2 = "/Tiltscope_A2_20261209201500.csv";
    const std::string before = settings.CsvFolder;
    EXPECT_EQ(field.text().toStdString(), before + name4);
    for (uint8_t a : {4, 2}) recorders.For(a)->AppendRow(std::to_string(a), "0", "20");

    controls.OnBrowseClicked();
    EXPECT_EQ(field.text().toStdString(), folders.answer + name4);
    for (uint8_t a : {4, 2}) recorders.For(a)->AppendRow(std::to_string(a) + "9", "0", "20");
    controls.OnRecordClicked();
    EXPECT_FALSE(recorders.IsRecording());

    // The rows before Browse stay in the old files, those after go on in the new, headless.
    using NameAndX = std::pair<std::string, std::string>;
    for (const auto& [name, x] : std::vector<NameAndX>{{name2, "2"}, {name4, "4"}}) {
        const std::string old = ReadAll(before + name);
        EXPECT_EQ(old.rfind("X(deg)", 0), 0u) << old;
        EXPECT_NE(old.find("\r\n" + x + ",0,20,"), std::string::npos) << old;
        const std::string moved = ReadAll(folders.answer + name);
        EXPECT_EQ(moved.rfind(x + "9,0,20,", 0), 0u) << moved;
        EXPECT_EQ(std::count(moved.begin(), moved.end(), '\n'), 1) << moved;
    }
    EXPECT_TRUE(boxes.empty());
}
