#include "AcquisitionCycle.h"

#include "ConnectionPanel.h"
#include "ModbusProtocol.h"
#include "TarqProtocol.h"

AcquisitionCycle::AcquisitionCycle(LinkState& state, DeviceLinkView& view, SettingsStore& store,
                                   ConnectionPanel& panel, SettingsCommands& settings,
                                   ReceivePath& path)
    : state_(state), view_(view), store_(store), panel_(panel), settings_(settings), path_(path) {}

void AcquisitionCycle::PollingToggle() {
    panel_.ReadDeviceAddress();
    if (state_.pollingOn) {
        view_.SetLabelText(ctl::kPolling, view_.ResourceString(kStrConnect));
        state_.pollingOn = false;
        view_.StopTimer(kPollTimer);
        return;
    }
    view_.SetLabelText(ctl::kPolling, view_.ResourceString(kStrDisconnect));
    state_.pollingOn = true;
    view_.StartTimer(kPollTimer, kPollPeriodMs, false);
    settings_.ResetMachinery();
}

void AcquisitionCycle::ConfirmStartupOpen() {
    if (!path_.ReplySeen() || !state_.startupUnconfirmed) return;
    // The port opened at start has answered: it is the operator's port from now on.
    state_.startupUnconfirmed = false;
    view_.SetControlText(ctl::kOpen, view_.ResourceString(kStrClose));
    view_.SelectListEntry(ctl::kPortList, state_.autoOpenedIndex);
    store_.WriteInt("COM", static_cast<int>(state_.portnr));
    store_.WriteInt("BAUD", view_.ListSelection(ctl::kBaudList));
    store_.WriteInt("PARITY", view_.ListSelection(ctl::kParityList));
}

void AcquisitionCycle::PollTick() {
    ConfirmStartupOpen();
    if (settings_.SettingsStep()) return;
    // Sent whether or not a port is open: the transmit path drops it when none is.
    const std::vector<uint8_t> request =
        state_.protocol == kProtocolModbus ? BuildModbusRead(state_.deviceAddress)
                                           : BuildTarqFrame(kTarqReadAngles, state_.deviceAddress);
    path_.OnTxFrame(request.data(), request.size());
}

void AcquisitionCycle::ReadoutTick() {
    view_.ReadoutTick();
    FlushTraffic();
}

void AcquisitionCycle::FlushTraffic() {
    if (path_.PendingTrafficText().empty()) return;
    const std::string text = path_.TakeTrafficText();
    // A full pane starts over with the newest block rather than refuse it.
    if (view_.TrafficPaneLength() >= kTrafficPaneLimit)
        view_.ReplaceTrafficPane(text);
    else
        view_.AppendTrafficPane(text);
}
