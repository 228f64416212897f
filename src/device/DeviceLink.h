#pragma once

#include <chrono>
#include <functional>

#include "AcquisitionCycle.h"
#include "ConnectionPanel.h"
#include "LinkHealth.h"
#include "LinkState.h"
#include "LinkView.h"
#include "ReceivePath.h"
#include "Serialport.h"
#include "SettingsCommands.h"
#include "SettingsStore.h"

// The device link in one piece: the receive path, the connection panel, the
// settings commands and the acquisition cycle wired together, and the link's
// health kept from what passes between them. The window and tiltlog each make
// one and realise only its view; the owner hands the channel's deliveries to
// Receive().
class DeviceLink : private WriteQueue {
public:
    // How long a quiet reopen waits for a server to accept the connection.
    static constexpr std::chrono::milliseconds kReopenConnectTimeout{500};

    struct Parts {
        LinkView& view;
        SettingsStore& store;
        CSerialPort& port;
        SerialOwner& owner;
        const DecodeParameters& decode;
        const HealthClock& clock;
    };
    struct Options {
        int pollPeriodMs = AcquisitionCycle::kPollPeriodMs;
        ConnectionPanel::Discover discover;
        // Acknowledgements, echoes and exceptions go to the settings commands.
        bool settingsReplies = true;
        // A lost link is opened again, quietly, at each readout tick, for as
        // long as the line chosen is the one that was lost.
        bool reopenLost = false;
    };
    // Every measurement reply whose check holds, before the settings commands see it.
    using Deliver = std::function<void(const Measurement&)>;

    DeviceLink(Parts parts, Options options, Deliver deliver);
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    LinkState& State() { return state_; }
    const LinkState& State() const { return state_; }
    ReceivePath& Receive() { return path_; }
    ConnectionPanel& Panel() { return panel_; }
    SettingsCommands& Commands() { return commands_; }
    AcquisitionCycle& Cycle() { return cycle_; }
    const LinkHealth& Health() const { return health_; }

    // Timer 1. A lost link is closed first, so nothing goes out or is echoed.
    void PollTick();
    // Timer 2: a lost link closed, a reopen tried, the health looked at and
    // shown, then the readout and the traffic flush.
    void ReadoutTick();
    // Closes an open link whose channel has failed; true when this call found it.
    bool CheckLoss();
    // Lost and to be opened again by the front end: the health says so.
    void AwaitReopen();
    // The once-a-second look at the health alone, for a front end that keeps
    // its own readout and reopens by itself: a link quiet too long is silent.
    void HealthTick();

    // The link has stopped delivering (silent, lost or closed): samples before
    // and after must not be joined.
    std::function<void()> onGap;
    // The health's state has changed from `before`.
    std::function<void(LinkHealth::State before)> onHealthChange;

private:
    // Every request on its way to the channel: counted for the health.
    void QueueWrite(const uint8_t* block, uint32_t n) override;
    ReceiveHandlers Handlers(Deliver deliver);
    void OnLinkOpen(bool open);
    void Reopen();
    // After every event the health hears of: tells a change of state.
    void Follow();
    void ShowHealth();

    LinkView& view_;
    CSerialPort& port_;
    const Options options_;
    LinkState state_;
    LinkHealth health_;
    LinkHealth::State told_ = LinkHealth::State::Closed;
    bool closingLost_ = false;
    LineSettings lostLine_;
    ReceivePath path_;
    ConnectionPanel panel_;
    SettingsCommands commands_;
    AcquisitionCycle cycle_;
};
