#pragma once

#include <functional>
#include <string>

// What the window takes from the desktop, behind interfaces so that tests run
// headless and record instead of showing.

enum class MessageIcon { None, Information, Warning, Error };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // An owner-less box with an OK button; returns when the operator has answered.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
    // A box with two buttons: true for `retry`, false for `discard`, for the
    // box closed otherwise (Escape, the window's close button) too.
    virtual bool AskRetry(const std::string& text, const std::string& caption,
                          const std::string& retry, const std::string& discard) = 0;
    // A question: true for `yes`; false for `no`, and for the box closed
    // otherwise, so that a stray Escape never does what was asked.
    virtual bool AskYesNo(const std::string& text, const std::string& caption,
                          const std::string& yes, const std::string& no) = 0;
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands the address to the desktop's default handler; the result is not examined.
    virtual void OpenUrl(const std::string& url) = 0;
};

class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // A file-system folder the operator chose, or "" when cancelled.
    // It opens in `start`, or in the nearest folder above it that exists.
    virtual std::string PickFolder(const std::string& title, const std::string& start) = 0;
};

// The window's timers, numbered as the acquisition and display code knows them. The test
// realisation fires ticks by hand.
class WindowTimers {
public:
    virtual ~WindowTimers() = default;
    virtual void SetHandler(std::function<void(int id)> onTick) = 0;
    virtual void Start(int id, int periodMs, bool singleShot = false) = 0;
    virtual void Stop(int id) = 0;
    virtual bool IsRunning(int id) const = 0;
    virtual int Period(int id) const = 0;
};

// The window's timers, by what they drive.
enum WindowTimerId {
    kPlotTimer = 0,      // the chart's traces
    kPollTimer = 1,      // read requests and settings commands' turns
    kReadoutTimer = 2,   // the readout and the traffic pane, once a second
    kSettingsTimer = 3,  // a settings command's time-out
    kBusTimer = 4,       // a bus's next request or reply time-out
    kWindowTimerCount
};
