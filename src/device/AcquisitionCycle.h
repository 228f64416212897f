#pragma once

#include "DeviceLinkView.h"
#include "ReceivePath.h"
#include "SettingsCommands.h"

class ConnectionPanel;

// The clockwork: polling every 200 ms, a pending settings command's turn, the
// start-up confirmation, and the once-a-second traffic pane flush.
class AcquisitionCycle {
public:
    static constexpr int kPlotTimer = 0;
    static constexpr int kPollTimer = 1;
    static constexpr int kReadoutTimer = 2;
    static constexpr int kSettingsTimer = 3;
    static constexpr int kPollPeriodMs = 200;
    static constexpr int kTrafficPaneLimit = 65535;

    AcquisitionCycle(LinkState& state, DeviceLinkView& view, SettingsStore& store,
                     ConnectionPanel& panel, SettingsCommands& settings, ReceivePath& path);

    // The Connect / Disconnect button.
    void PollingToggle();
    void PollTick();
    // The once-a-second tick: the readout, then the traffic flush.
    void ReadoutTick();
    void FlushTraffic();

private:
    void ConfirmStartupOpen();

    LinkState& state_;
    DeviceLinkView& view_;
    SettingsStore& store_;
    ConnectionPanel& panel_;
    SettingsCommands& settings_;
    ReceivePath& path_;
};
