#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Console.h"
#include "LinkTimerSchedule.h"
#include "LinkView.h"

// The device link's view for tiltlog: no lists to choose from and no panes. A
// box is said on standard error, with the system's reason for a port that does
// not open; the timers are deadlines of tiltlog's loop; the traffic goes nowhere.
class ConsoleLinkView : public LinkView {
public:
    struct PortFacts {
        // The port as the operator named it, with its device where that helps.
        std::function<std::string()> describe;
        // errno of the last open that failed.
        std::function<int()> lastOpenError;
        // Why it failed when errno does not say it; "" or unset otherwise.
        std::function<std::string()> openFailureNote;
    };

    // `retrying`: a port that does not open is tried again every second.
    ConsoleLinkView(
        Console& console, LinkTimerSchedule& timers, PortFacts port, bool retrying,
        std::function<LinkTimerSchedule::Clock::time_point()> now = LinkTimerSchedule::Clock::now);

    // Says `text` unless it was said since the last ForgetSaid: a logger waiting
    // all night for its port, or for a server that fails a different way at each
    // try, must not fill the journal. Paragraphs become lines of their own.
    void SayOnce(const std::string& text);
    // After a change (the port back, or lost) the same fault is news again.
    void ForgetSaid() { said_.clear(); }
    // "; trying again every second" when retrying, else nothing.
    std::string RetryNote() const;

    bool LinkShownOpen() const { return linkOpen_; }
    bool PollingShown() const { return pollingOn_; }

    void ShowPorts(const std::vector<PortEntry>&) override {}
    void ChoosePort(int) override {}
    int ChosenPort() const override { return -1; }
    int ShowChoices(LinkChoice, const std::vector<std::string>&) override { return 0; }
    void Choose(LinkChoice, int) override {}
    int Chosen(LinkChoice) const override { return -1; }
    std::string ChoiceText(LinkChoice) const override { return ""; }

    std::string AddressText() const override { return address_; }
    void ShowAddress(const std::string& text) override { address_ = text; }
    std::string NewAddressText() const override { return newAddress_; }
    void ShowNewAddress(const std::string& text) override { newAddress_ = text; }
    void ShowSaveCommand(bool) override {}
    void ShowParityCommand(bool) override {}

    void ShowLinkOpen(bool open) override { linkOpen_ = open; }
    void ShowPolling(bool on) override { pollingOn_ = on; }

    bool ChineseSelected() const override { return false; }
    std::string Text(LinkText text) const override;
    void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) override;

    void StartTimer(LinkTimer timer, int periodMs, bool singleShot) override;
    void StopTimer(LinkTimer timer) override;

    // Kept for the loop, which confirms once the current delivery is done.
    void PostOpConfirmed() override { confirmationPosted_ = true; }
    bool TakePostedConfirmation() {
        const bool posted = confirmationPosted_;
        confirmationPosted_ = false;
        return posted;
    }

    int TrafficTextLength() const override { return 0; }
    void ReplaceTrafficText(const std::string&) override {}
    void AppendTrafficText(const std::string&) override {}

    void ApplyProtocolToList() override {}
    void SetModelName(const std::string&) override {}
    void ReadoutTick() override {}

private:
    Console& console_;
    LinkTimerSchedule& timers_;
    PortFacts port_;
    bool retrying_;
    std::function<LinkTimerSchedule::Clock::time_point()> now_;
    std::set<std::string> said_;
    std::string address_ = "0";
    std::string newAddress_ = "0";
    bool linkOpen_ = false;
    bool pollingOn_ = false;
    bool confirmationPosted_ = false;
};
