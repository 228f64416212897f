#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "LinkView.h"
#include "PlatformSeams.h"

class QWidget;

// The device link's view on the main window's controls: the port and line
// lists, the address boxes, the Open and polling buttons, the settings
// commands' lists and buttons, the traffic pane and the link's timers.
class LinkControls : public LinkView {
public:
    // What the window around the controls does for them.
    struct Window {
        std::function<QWidget*(int id)> control;
        // The flicker-free label writer.
        std::function<void(int id, const QString& text)> setLabelText;
        // A control's caption or value has changed; its accessible name follows.
        std::function<void(int id)> textChanged;
        std::function<void(const std::string& text, const std::string& caption, BoxIcon icon)>
            showBox;
        std::function<void()> postOpConfirmed;
        std::function<void()> applyProtocolToList;
        std::function<void(const std::string& name)> setModelName;
        std::function<void()> readoutTick;
    };

    LinkControls(Window window, WindowTimers& timers, Language language);

    // The list control a choice is made in.
    static int ChoiceControl(LinkChoice choice);

    void ShowPorts(const std::vector<PortEntry>& ports) override;
    void ChoosePort(int position) override;
    int ChosenPort() const override;
    int ShowChoices(LinkChoice choice, const std::vector<std::string>& entries) override;
    void Choose(LinkChoice choice, int position) override;
    int Chosen(LinkChoice choice) const override;
    std::string ChoiceText(LinkChoice choice) const override;
    std::string AddressText() const override;
    void ShowAddress(const std::string& text) override;
    std::string NewAddressText() const override;
    void ShowNewAddress(const std::string& text) override;
    void ShowSaveCommand(bool shown) override;
    void ShowParityCommand(bool shown) override;
    void ShowLinkOpen(bool open) override;
    void ShowPolling(bool on) override;
    // The status line: the state's text, in the colour of its kind.
    void ShowLinkHealth(const LinkHealth::Status& status) override;
    bool ChineseSelected() const override;
    std::string Text(LinkText text) const override;
    void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
    void StartTimer(LinkTimer timer, int periodMs, bool singleShot) override;
    void StopTimer(LinkTimer timer) override;
    void PostOpConfirmed() override;
    int TrafficTextLength() const override;
    void ReplaceTrafficText(const std::string& text) override;
    void AppendTrafficText(const std::string& text) override;
    void ApplyProtocolToList() override;
    void SetModelName(const std::string& name) override;
    void ReadoutTick() override;

private:
    std::string TextOf(int id) const;
    void SetText(int id, const std::string& text);
    void Show(int id, bool shown);
    int ListShow(int id, const std::vector<std::string>& entries);
    void ListChoose(int id, int position);
    int ListChosen(int id) const;

    Window window_;
    WindowTimers& timers_;
    Language language_;
};
