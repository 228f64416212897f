#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <map>
#include <string>
#include <vector>

#include "CsvRecorder.h"
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
        return RecordingControls(button, field, recorder, settings, store, Language::English,
                                 &messages, picker,
                                 [this](const std::string& text, const std::string&, BoxIcon) {
                                     boxes.push_back(text);
                                 });
    }
    ScratchFolder scratch;
    FixedClock clock;
    CsvRecorder recorder{clock};
    QPushButton button{QStringLiteral("Start")};
    QLineEdit field;
    Settings settings;
    NoStore store;
    RecordingMessages messages;
    std::vector<std::string> boxes;
};

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
