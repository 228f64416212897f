#include "RecordingControls.h"

#include <QLineEdit>
#include <QPushButton>
#include <chrono>

#include "AccessibleNames.h"
#include "PlatformSeams.h"
#include "RecorderGroup.h"
#include "RecordingMessages.h"
#include "Settings.h"
#include "StringTable.h"

void RecordingControls::ShowCsvPath(const std::string& path) {
    pathField_.setText(QString::fromStdString(path));
}

void RecordingControls::MakeFirstCsvFileName() {
    ShowCsvPath(recorders_.ChangeFolder(settings_.CsvFolder, settings_.CsvPrefix));
}

void RecordingControls::SetAddresses(const std::vector<uint8_t>& addresses) {
    if (recorders_.SetAddresses(addresses)) ShowCsvPath(recorders_.CurrentPath());
}

void RecordingControls::SetRecorderIdle() {
    // Everything delivered while recording is written before the window goes.
    recorders_.Stop();
}

void RecordingControls::ShowRecordCaption(int stringId) {
    const std::string caption = LoadResourceString(stringId, language_);
    recordButton_.setText(QString::fromUtf8(caption));
    // The button's name carries its caption.
    const QString name = QString::fromStdString(AccessibleName(ctl::kRecord, caption, language_));
    if (recordButton_.accessibleName() != name) recordButton_.setAccessibleName(name);
}

void RecordingControls::ShowRecordButtonIdle() {
    ShowRecordCaption(IDS_START);
}

void RecordingControls::OnRecordClicked() {
    if (recorders_.IsRecording()) {
        ShowRecordButtonIdle();
        recorders_.Stop();
        return;
    }
    if (!recorders_.Start(settings_.CsvFolder, settings_.CsvPrefix)) return;
    ShowCsvPath(recorders_.CurrentPath());
    ShowRecordCaption(IDS_STOP);
}

void RecordingControls::CheckRecording() {
    if (!recorders_.IsRecording()) return;
    struct Box {
        std::string text;
        bool cannotCreate;
    };
    std::vector<Box> boxes;
    const auto now = std::chrono::steady_clock::now();
    recorders_.ForEach([&](uint8_t, CsvRecorder& recorder, RecordingAlerts& alerts) {
        if (!recorder.IsRecording()) return;
        for (const RecordingNews& n : alerts.Check(recorder.Fault(), recorder.Stats(), now)) {
            std::string text = RecordingNewsText(n, language_, recorder.HeldBytesLimit());
            if (!text.empty())
                boxes.push_back({std::move(text), n.event == RecordingEvent::CannotCreate});
        }
    });
    bool stopped = false;
    for (const Box& box : boxes) {
        if (box.cannotCreate) {
            // Nothing of this recording is on the disk: it has not really begun.
            // On a bus the folder that refused one file refuses the others, and a
            // recording that lacks a sensor is not the one the operator started:
            // all of it stops, told once.
            if (stopped) continue;
            stopped = true;
            ShowRecordButtonIdle();
            recorders_.Stop();
        }
        showBox_(box.text, "Message", box.cannotCreate ? BoxIcon::Error : BoxIcon::Exclamation);
    }
}

bool RecordingControls::MayClose() {
    if (!messages_ || !recorders_.IsRecording()) return true;
    return messages_->AskYesNo(QuitWhileRecordingText(language_), "Message",
                               YesButtonText(language_), NoButtonText(language_));
}

void RecordingControls::OfferUnwrittenRows() {
    if (!messages_) return;
    recorders_.ForEach([this](uint8_t, CsvRecorder& recorder, RecordingAlerts&) {
        while (recorder.IsRecording()) {
            // Most often this write takes every row and nothing needs asking.
            if (!recorder.WriteNow(std::chrono::seconds(5))) return;
            const WriteFault fault = recorder.Fault();
            const RecorderStats s = recorder.Stats();
            if (fault.trouble == WriteTrouble::None || s.rowsHeld == 0) return;
            if (!messages_->AskRetry(
                    UnwrittenRowsText(s.rowsHeld + s.rowsCollected, fault, language_), "Message",
                    RetryButtonText(language_), DiscardButtonText(language_)))
                return;
        }
    });
}

void RecordingControls::OnBrowseClicked() {
    const std::string chosen =
        folders_ ? folders_->PickFolder("Please select the data storage path", settings_.CsvFolder)
                 : "";
    if (!chosen.empty()) {
        settings_.CsvFolder = chosen;
        store_.WriteString("PATH", chosen);
    }
    // What was collected so far belongs to the file it was collected for; the
    // recording goes on in a fresh file, chosen folder or not.
    if (recorders_.IsRecording()) recorders_.WriteNow(std::chrono::seconds(2));
    ShowCsvPath(recorders_.ChangeFolder(settings_.CsvFolder, settings_.CsvPrefix));
}
