#pragma once

#include <QObject>
#include <QTimer>
#include <array>

#include "PlatformSeams.h"

class QtMessageSink : public MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    bool AskRetry(const std::string& text, const std::string& caption, const std::string& retry,
                  const std::string& discard) override;
    bool AskYesNo(const std::string& text, const std::string& caption, const std::string& yes,
                  const std::string& no) override;
};

class QtUrlOpener : public UrlOpener {
public:
    void OpenUrl(const std::string& url) override;
};

class QtFolderPicker : public FolderPicker {
public:
    std::string PickFolder(const std::string& title, const std::string& start) override;
};

class QtWindowTimers : public WindowTimers {
public:
    QtWindowTimers();
    void SetHandler(std::function<void(int id)> onTick) override;
    void Start(int id, int periodMs, bool singleShot) override;
    void Stop(int id) override;
    bool IsRunning(int id) const override;
    int Period(int id) const override;

private:
    std::array<QTimer, kWindowTimerCount> timers_;
    std::function<void(int)> onTick_;
};
