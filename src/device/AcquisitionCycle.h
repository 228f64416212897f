#pragma once

#include <functional>
#include <string>

#include "LinkState.h"
#include "LinkView.h"
#include "ReceivePath.h"
#include "SettingsCommands.h"
#include "SettingsStore.h"

class ConnectionPanel;

// The clockwork: polling (every 200 ms in the window), a pending settings
// command's turn, the start-up confirmation, and the once-a-second traffic flush.
class AcquisitionCycle {
public:
    static constexpr int kPollPeriodMs = 200;

    // `pollPeriodMs` is the poll timer's period; tiltlog takes it from its command line.
    AcquisitionCycle(LinkState& state, LinkView& view, SettingsStore& store, ConnectionPanel& panel,
                     SettingsCommands& settings, ReceivePath& path,
                     int pollPeriodMs = kPollPeriodMs);

    int PollPeriodMs() const { return pollPeriodMs_; }

    // The Connect / Disconnect button.
    void PollingToggle();
    void PollTick();
    // The once-a-second tick: the readout, then the traffic flush.
    void ReadoutTick();
    void FlushTraffic();
    // Where the wire frames the line's bytes otherwise (Modbus TCP), the pane
    // shows the wire: `take` appends its text and says whether the line is such.
    void ShowWireTraffic(std::function<bool(std::string&)> take) { wire_ = std::move(take); }
    // A bus asks its sensors in turn itself: a poll tick with no command's turn
    // goes to `turn`, which says whether the bus took it.
    void PollBusWith(std::function<bool()> turn) { busTurn_ = std::move(turn); }

private:
    void ConfirmStartupOpen();

    LinkState& state_;
    LinkView& view_;
    SettingsStore& store_;
    ConnectionPanel& panel_;
    SettingsCommands& settings_;
    ReceivePath& path_;
    const int pollPeriodMs_;
    std::function<bool(std::string&)> wire_;
    std::function<bool()> busTurn_;
};
