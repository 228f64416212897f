#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "PlatformSeams.h"

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class RecordingMessages : public MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        shown.push_back({text, caption, icon});
        // A real box runs the event loop until the operator answers.
        if (whileShown) whileShown();
    }
    bool AskRetry(const std::string& text, const std::string& caption, const std::string& retry,
                  const std::string& discard) override {
        asked.push_back({text, caption, retry, discard});
        if (whileShown) whileShown();
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    bool AskYesNo(const std::string& text, const std::string& caption, const std::string& yes,
                  const std::string& no) override {
        questions.push_back({text, caption, yes, no});
        if (whileShown) whileShown();
        if (yesNoAnswers.empty()) return true;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.erase(yesNoAnswers.begin());
        return answer;
    }
    struct Question {
        std::string text, caption, retry, discard;
    };
    std::vector<ShownMessage> shown;
    std::vector<Question> asked;
    std::vector<bool> answers;  // taken in turn; when none are left, discard
    // Yes-or-no questions, with their own answers; when none are left, yes.
    std::vector<Question> questions;
    std::vector<bool> yesNoAnswers;
    std::function<void()> whileShown;
};

class RecordingUrls : public UrlOpener {
public:
    void OpenUrl(const std::string& url) override { opened.push_back(url); }
    std::vector<std::string> opened;
};

class CannedFolders : public FolderPicker {
public:
    std::string PickFolder(const std::string& title, const std::string& start) override {
        titles.push_back(title);
        starts.push_back(start);
        return answer;
    }
    std::string answer;
    std::vector<std::string> titles;
    std::vector<std::string> starts;
};

// Timers that only tick when the test says so.
class FakeTimers : public WindowTimers {
public:
    void SetHandler(std::function<void(int)> onTick) override { onTick_ = std::move(onTick); }
    void Start(int id, int periodMs, bool singleShot) override {
        running_[id] = true;
        period_[id] = periodMs;
        singleShot_[id] = singleShot;
    }
    void Stop(int id) override { running_[id] = false; }
    bool IsRunning(int id) const override { return running_[id]; }
    int Period(int id) const override { return period_[id]; }
    void Tick(int id) {
        if (singleShot_[id]) running_[id] = false;
        if (onTick_) onTick_(id);
    }

private:
    std::function<void(int)> onTick_;
    std::array<bool, kWindowTimerCount> running_{};
    std::array<int, kWindowTimerCount> period_{};
    std::array<bool, kWindowTimerCount> singleShot_{};
};

// A scratch installation: <root>/bin, <root>/config, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/tiltscope-ui-XXXXXX";
        root_ = ::mkdtemp(pattern);
        std::filesystem::create_directories(root_ + "/bin");
        std::filesystem::create_directories(root_ + "/config");
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::string Config() const { return root_ + "/config/Config.ini"; }
    std::string Bin() const { return root_ + "/bin"; }
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};
