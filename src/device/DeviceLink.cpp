#include "DeviceLink.h"

#include <utility>

DeviceLink::DeviceLink(Parts parts, Options options, Deliver deliver)
    : view_(parts.view),
      port_(parts.port),
      options_(std::move(options)),
      health_(parts.clock,
              std::chrono::milliseconds(options_.pollPeriodMs * LinkHealth::kSilentAfter)),
      path_(parts.decode, Handlers(std::move(deliver))),
      panel_(state_, view_, parts.store, port_, parts.owner, path_, options_.discover),
      commands_(state_, view_, panel_,
                [this](const uint8_t* bytes, size_t count) { path_.OnTxFrame(bytes, count); }),
      cycle_(state_, view_, parts.store, panel_, commands_, path_, options_.pollPeriodMs) {
    path_.SetWriteQueue(this);
    cycle_.ShowWireTraffic([this](std::string& text) { return port_.TakeWireTraffic(text); });
    panel_.SetLinkListener([this](bool open) { OnLinkOpen(open); });
}

ReceiveHandlers DeviceLink::Handlers(Deliver deliver) {
    ReceiveHandlers h;
    h.DeliverMeasurement = [this, deliver = std::move(deliver)](const Measurement& m) {
        health_.ReplyReceived();
        Follow();
        if (deliver) deliver(m);
        commands_.OnMeasurement();
    };
    // Any whole reply whose check holds is a sign of life.
    const auto answer = [this](void (SettingsCommands::*handler)(const uint8_t*, size_t)) {
        return [this, handler](const uint8_t* frame, size_t count) {
            health_.ReplyReceived();
            Follow();
            if (options_.settingsReplies) (commands_.*handler)(frame, count);
        };
    };
    h.OnTarqAcknowledge = answer(&SettingsCommands::OnTarqAcknowledge);
    h.OnModbusEcho = answer(&SettingsCommands::OnModbusEcho);
    h.OnModbusException = answer(&SettingsCommands::OnModbusException);
    return h;
}

void DeviceLink::QueueWrite(const uint8_t* block, uint32_t n) {
    port_.QueueWrite(block, n);
    health_.RequestSent();
    Follow();
}

void DeviceLink::OnLinkOpen(bool open) {
    if (open) {
        health_.Opened(state_.portnr);
    } else if (!closingLost_) {
        health_.Closed();
    }
    Follow();
}

bool DeviceLink::CheckLoss() {
    if (!state_.linkOpen || port_.IsOpen()) return false;
    const LinkLoss loss = port_.Loss();
    lostLine_ =
        LineSettings{state_.portnr, state_.baud, state_.parity, state_.dataBits, state_.stopBits};
    closingLost_ = true;
    panel_.CloseLink();
    closingLost_ = false;
    health_.Lost(loss);
    if (options_.reopenLost) health_.Reopening();
    Follow();
    return true;
}

void DeviceLink::AwaitReopen() {
    health_.Reopening();
    Follow();
}

void DeviceLink::HealthTick() {
    health_.Tick();
    Follow();
}

void DeviceLink::Reopen() {
    if (health_.Now() != LinkHealth::State::Reopening || state_.linkOpen) return;
    // The operator has chosen another line meanwhile: it is theirs to open.
    if (state_.portnr != lostLine_.portnr || state_.baud != lostLine_.baud ||
        state_.parity != lostLine_.parity) {
        health_.Closed();
        Follow();
        return;
    }
    // The window waits for the connect: a server that does not answer (its host
    // gone, packets dropped) must not stall it for the open's full time-out
    // once a second. A server that is there accepts within a round trip.
    port_.SetConnectTimeout(kReopenConnectTimeout);
    panel_.OpenQuietly();
    port_.SetConnectTimeout(TcpLine::kConnectTimeout);
}

void DeviceLink::PollTick() {
    CheckLoss();
    cycle_.PollTick();
}

void DeviceLink::ReadoutTick() {
    CheckLoss();
    Reopen();
    health_.Tick();
    Follow();
    ShowHealth();
    cycle_.ReadoutTick();
}

void DeviceLink::Follow() {
    const LinkHealth::State now = health_.Now();
    if (now == told_) return;
    const LinkHealth::State before = std::exchange(told_, now);
    // A change is shown at once; the tick refreshes the rate and the counts.
    ShowHealth();
    const bool wasLive =
        before == LinkHealth::State::Waiting || before == LinkHealth::State::Answering;
    if (wasLive && !health_.Live() && onGap) onGap();
    if (onHealthChange) onHealthChange(before);
}

void DeviceLink::ShowHealth() {
    view_.ShowLinkHealth(health_.Report());
}
