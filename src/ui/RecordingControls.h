#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "LinkView.h"
#include "SettingsStore.h"

class RecorderGroup;
class FolderPicker;
class MessageSink;
class QLineEdit;
class QPushButton;
struct Settings;

// The record button, Browse and the CSV file name field: starting and
// stopping a recording, the data folder, and what the operator is told when
// rows cannot be written. On a bus every sensor has its file; the field shows
// the first one.
class RecordingControls {
public:
    using BoxShower =
        std::function<void(const std::string& text, const std::string& caption, BoxIcon icon)>;

    RecordingControls(QPushButton& recordButton, QLineEdit& pathField, RecorderGroup& recorders,
                      Settings& settings, SettingsStore& store, Language language,
                      MessageSink* messages, FolderPicker* folders, BoxShower showBox)
        : recordButton_(recordButton),
          pathField_(pathField),
          recorders_(recorders),
          settings_(settings),
          store_(store),
          language_(language),
          messages_(messages),
          folders_(folders),
          showBox_(std::move(showBox)) {}

    void OnRecordClicked();
    void OnBrowseClicked();
    // The polled addresses changed: each sensor of a bus records to its own file.
    void SetAddresses(const std::vector<uint8_t>& addresses);
    // The file the next recording goes to, shown at start.
    void MakeFirstCsvFileName();
    // Once a second while recording: faults and backlog become boxes.
    void CheckRecording();
    // Before the window closes: while recording, the operator is asked whether
    // to stop it and quit. False keeps the window and the recording going.
    bool MayClose();
    // Before the window closes: rows not yet on the disk may be tried again.
    void OfferUnwrittenRows();
    void SetRecorderIdle();

private:
    void ShowRecordButtonIdle();
    void ShowRecordCaption(int stringId);
    void ShowCsvPath(const std::string& path);

    QPushButton& recordButton_;
    QLineEdit& pathField_;
    RecorderGroup& recorders_;
    Settings& settings_;
    SettingsStore& store_;
    Language language_;
    MessageSink* messages_;
    FolderPicker* folders_;
    BoxShower showBox_;
};
