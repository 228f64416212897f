#include "RecordingControls.h"

#include <QLineEdit>
#include <QPushButton>
#include <chrono>

#include "AccessibleNames.h"
#include "CsvRecorder.h"
#include "PlatformSeams.h"
#include "RecordingMessages.h"
#include "Settings.h"
#include "StringTable.h"

void RecordingControls::ShowCsvPath(const std::string& path) {
    pathField_.setText(QString::fromStdString(path));
}

void RecordingControls::MakeFirstCsvFileName() {
    ShowCsvPath(recorder_.ChangeFolder(settings_.CsvFolder, settings_.CsvPrefix));
}

void RecordingControls::SetRecorderIdle() {
    // Everything delivered while recording is written before the window goes.
    recorder_.Stop();
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
    if (recorder_.IsRecording()) {
        ShowRecordButtonIdle();
        recorder_.Stop();
        return;
    }
    if (!recorder_.Start(settings_.CsvFolder, settings_.CsvPrefix)) return;
    alerts_.Reset();
    ShowCsvPath(recorder_.CurrentPath());
    ShowRecordCaption(IDS_STOP);
}

void RecordingControls::CheckRecording() {
    if (!recorder_.IsRecording()) return;
    const auto news =
        alerts_.Check(recorder_.Fault(), recorder_.Stats(), std::chrono::steady_clock::now());
    for (const RecordingNews& n : news) {
        const std::string text = RecordingNewsText(n, language_, recorder_.HeldBytesLimit());
        if (text.empty()) continue;
        if (n.event == RecordingEvent::CannotCreate) {
            // Nothing of this recording is on the disk: it has not really begun.
            ShowRecordButtonIdle();
            recorder_.Stop();
        }
        showBox_(text, "Message",
                 n.event == RecordingEvent::CannotCreate ? BoxIcon::Error : BoxIcon::Exclamation);
    }
}

bool RecordingControls::MayClose() {
    if (!messages_ || !recorder_.IsRecording()) return true;
    return messages_->AskYesNo(QuitWhileRecordingText(language_), "Message",
                               YesButtonText(language_), NoButtonText(language_));
}

void RecordingControls::OfferUnwrittenRows() {
    if (!messages_) return;
    while (recorder_.IsRecording()) {
        // Most often this write takes every row and nothing needs asking.
        if (!recorder_.WriteNow(std::chrono::seconds(5))) return;
        const WriteFault fault = recorder_.Fault();
        const RecorderStats s = recorder_.Stats();
        if (fault.trouble == WriteTrouble::None || s.rowsHeld == 0) return;
        if (!messages_->AskRetry(UnwrittenRowsText(s.rowsHeld + s.rowsCollected, fault, language_),
                                 "Message", RetryButtonText(language_),
                                 DiscardButtonText(language_)))
            return;
    }
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
    if (recorder_.IsRecording()) recorder_.WriteNow(std::chrono::seconds(2));
    ShowCsvPath(recorder_.ChangeFolder(settings_.CsvFolder, settings_.CsvPrefix));
}
