#pragma once

#include <string>
#include <vector>

#include "LinkHealth.h"

// What the connection panel, the acquisition cycle and the settings commands
// show and ask, in the link's own terms. The window realises it on its
// controls, tiltlog on standard error and its loop's deadlines, the tests on a
// recording fake.

enum class BoxIcon { None, Exclamation, Error };

// The lists of fixed entries the operator chooses from, besides the port list.
enum class LinkChoice {
    LineBaud,    // the line's rate, a position in kBaudTable
    LineParity,  // a position in kParityTable
    DataBits,
    StopBits,
    Protocol,
    Model,
    DeviceBaud,    // the rate a settings command gives the sensor
    DeviceParity,  // the parity a settings command gives the sensor
    Frequency,     // the sensor's output frequency
};

// The link's timers, by what they do.
enum class LinkTimer {
    Poll,      // a read request or a pending command's turn
    Settings,  // a settings command's time-out
};

// Texts the link takes from the resources, in the language chosen at start.
enum class LinkText { PortOpenFailed, OperateSuccessfully };

// One entry of the port list: the operator's "COM%d" name and which device it is.
struct PortEntry {
    std::string text;
    std::string tip;
};

class LinkView {
public:
    virtual ~LinkView() = default;

    // The port list.
    virtual void ShowPorts(const std::vector<PortEntry>& ports) = 0;
    // Chooses without running the list's handler; -1 chooses none.
    virtual void ChoosePort(int position) = 0;
    // -1 when none is chosen.
    virtual int ChosenPort() const = 0;

    // The other lists. Returns how many of the entries the view refused.
    virtual int ShowChoices(LinkChoice choice, const std::vector<std::string>& entries) = 0;
    // Chooses without running the list's handler; -1 chooses none.
    virtual void Choose(LinkChoice choice, int position) = 0;
    // -1 when none is chosen.
    virtual int Chosen(LinkChoice choice) const = 0;
    // The chosen entry's text, or what the operator typed in its place.
    virtual std::string ChoiceText(LinkChoice choice) const = 0;

    // The device address as typed, and the address the address command gives.
    virtual std::string AddressText() const = 0;
    virtual void ShowAddress(const std::string& text) = 0;
    virtual std::string NewAddressText() const = 0;
    virtual void ShowNewAddress(const std::string& text) = 0;

    // The commands only one protocol has: save (frame protocol), parity (Modbus).
    virtual void ShowSaveCommand(bool shown) = 0;
    virtual void ShowParityCommand(bool shown) = 0;

    // Whether the link reads as open (the operator is offered Close) or closed.
    virtual void ShowLinkOpen(bool open) = 0;
    // Whether polling reads as on (the operator is offered Disconnect) or off.
    virtual void ShowPolling(bool on) = 0;
    // What is true of the link now. A view without a place for it says it otherwise.
    virtual void ShowLinkHealth(const LinkHealth::Status&) {}

    // Texts composed at run time follow the 中文 button at the moment of use.
    virtual bool ChineseSelected() const = 0;
    virtual std::string Text(LinkText text) const = 0;
    // A result or a failure, as a message box.
    virtual void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) = 0;

    virtual void StartTimer(LinkTimer timer, int periodMs, bool singleShot) = 0;
    virtual void StopTimer(LinkTimer timer) = 0;

    // Queues the confirmation of a pending command: it runs after the current message.
    virtual void PostOpConfirmed() = 0;

    // The traffic text on show, in characters as its pane counts them.
    virtual int TrafficTextLength() const = 0;
    virtual void ReplaceTrafficText(const std::string& text) = 0;
    virtual void AppendTrafficText(const std::string& text) = 0;

    // Hooks for the parts that follow the protocol and the model.
    virtual void ApplyProtocolToList() = 0;
    virtual void SetModelName(const std::string& name) = 0;
    // The once-a-second display refresh that precedes the traffic flush.
    virtual void ReadoutTick() = 0;
};
