#include "AcquisitionCycle.h"

#include "ConnectionPanel.h"
#include "ReadRequest.h"

AcquisitionCycle::AcquisitionCycle(LinkState& state, LinkView& view, SettingsStore& store,
                                   ConnectionPanel& panel, SettingsCommands& settings,
                                   ReceivePath& path, int pollPeriodMs)
    : state_(state),
      view_(view),
      store_(store),
      panel_(panel),
      settings_(settings),
      path_(path),
      pollPeriodMs_(pollPeriodMs) {}

void AcquisitionCycle::PollingToggle() {
    panel_.ReadDeviceAddress();
    if (state_.pollingOn) {
        view_.ShowPolling(false);
        state_.pollingOn = false;
        view_.StopTimer(LinkTimer::Poll);
        return;
    }
    view_.ShowPolling(true);
    state_.pollingOn = true;
    view_.StartTimer(LinkTimer::Poll, pollPeriodMs_, false);
    settings_.ResetMachinery();
}

void AcquisitionCycle::ConfirmStartupOpen() {
    // A link lost before its first tick confirmed it has nothing to confirm.
    if (!path_.ReplySeen() || !state_.startupUnconfirmed || !state_.linkOpen) return;
    // The port opened at start has answered: it is the operator's port from now on.
    state_.startupUnconfirmed = false;
    view_.ShowLinkOpen(true);
    view_.ChoosePort(state_.autoOpenedIndex);
    store_.WriteInt("COM", static_cast<int>(state_.portnr));
    store_.WriteInt("BAUD", view_.Chosen(LinkChoice::LineBaud));
    store_.WriteInt("PARITY", view_.Chosen(LinkChoice::LineParity));
}

void AcquisitionCycle::PollTick() {
    ConfirmStartupOpen();
    panel_.ConfirmLineChoice();
    if (settings_.SettingsStep()) return;
    if (busTurn_ && busTurn_()) return;
    // Sent whether or not a port is open: the transmit path drops it when none is.
    const std::vector<uint8_t> request =
        BuildReadRequest(state_.protocol, state_.deviceAddress, state_.modbusRegisters);
    path_.OnTxFrame(request.data(), request.size());
}

void AcquisitionCycle::ReadoutTick() {
    view_.ReadoutTick();
    FlushTraffic();
}

void AcquisitionCycle::FlushTraffic() {
    std::string text;
    if (wire_ && wire_(text)) {
        path_.TakeTrafficText();  // the same frames, as the line would carry them
    } else {
        text = path_.TakeTrafficText();
    }
    if (text.empty()) return;
    // A full pane starts over with the newest block rather than refuse it.
    if (view_.TrafficTextLength() >= static_cast<int>(kTrafficPaneLimit))
        view_.ReplaceTrafficText(text);
    else
        view_.AppendTrafficText(text);
}
