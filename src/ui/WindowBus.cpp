#include "WindowBus.h"

#include <algorithm>
#include <utility>

#include "BusNews.h"
#include "ConnectionPanel.h"
#include "PlatformSeams.h"
#include "ReceivePath.h"
#include "Serialport.h"

namespace {

// A streaming sensor's blocks are gathered for the display; a bus wants each
// reply at once, or the span is paid on every turn.
constexpr std::chrono::milliseconds kGatherSpan{10};

}  // namespace

WindowBus::WindowBus(Parts parts, std::chrono::milliseconds interval)
    : state_(parts.state),
      path_(parts.path),
      port_(parts.port),
      timers_(parts.timers),
      panel_(parts.panel),
      commandUnderway_(std::move(parts.commandUnderway)),
      interval_(interval) {}

void WindowBus::SetInterval(std::chrono::milliseconds interval) {
    interval_ = interval;
    key_ = Key{};
}

WindowBus::Key WindowBus::Wanted() const {
    return Key{state_.busAddresses, state_.protocol, state_.modbusRegisters, state_.baud,
               state_.parity};
}

bool WindowBus::Follow(Clock::time_point now) {
    const bool wanted = state_.busAddresses.size() >= 2 && state_.linkOpen;
    if (!wanted) {
        if (!bus_) return false;
        bus_.reset();
        timers_.Stop(kBusTimer);
        port_.SetGatherSpan(kGatherSpan);
        return true;
    }
    const Key key = Wanted();
    if (bus_ && key == key_) return false;
    key_ = key;
    PolledBus::Options o;
    o.addresses = key.addresses;
    o.interval = interval_;
    o.protocol = key.protocol;
    o.registers = key.registers;
    o.baud = key.baud;
    o.parity = key.parity;
    bus_.reset();  // its receive path takes the new list, not the old one's end
    bus_.emplace(o, path_);
    bus_->Restart(now);
    port_.SetGatherSpan(std::chrono::milliseconds(0));
    // Sensors still on the list keep their readout and history.
    for (auto it = sensors_.begin(); it != sensors_.end();)
        it = bus_->Find(it->first) ? std::next(it) : sensors_.erase(it);
    for (uint8_t a : key.addresses) {
        Sensor& s = sensors_[a];
        s.readout.SetValueFormat(valueFormat_);
    }
    selected_ = state_.deviceAddress;
    if (!bus_->Find(selected_)) Select(key.addresses.front());
    return true;
}

bool WindowBus::PollTurn(Clock::time_point now) {
    Follow(now);
    if (!bus_) return false;
    Drive(now);
    return true;
}

void WindowBus::Drive(Clock::time_point now) {
    if (!bus_) return;
    if (!state_.pollingOn || !state_.linkOpen) {
        timers_.Stop(kBusTimer);
        return;
    }
    // A command's requests and replies have the line; the poll tick asks again.
    if (commandUnderway_ && commandUnderway_()) {
        paused_ = true;
        timers_.Stop(kBusTimer);
        return;
    }
    // Nothing asked before the command is awaited any more.
    if (std::exchange(paused_, false)) bus_->Restart(now);
    bus_->Poll(now);
    ArmTimer(now);
}

void WindowBus::ArmTimer(Clock::time_point now) {
    // A timer already set for that moment stays: at full line speed this runs
    // for every piece of every reply.
    const Clock::time_point due = bus_->NextDue();
    if (due == armedFor_ && timers_.IsRunning(kBusTimer)) return;
    armedFor_ = due;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
    timers_.Start(kBusTimer, static_cast<int>(std::clamp<int64_t>(wait, 0, 60000)), true);
}

WindowBus::Sensor* WindowBus::File(const Measurement& m, Clock::time_point now) {
    if (!bus_) return nullptr;
    // The selected sensor's replies to a command's reads belong to the command.
    if (commandUnderway_ && commandUnderway_() &&
        (m.address == selected_ || !bus_->Find(m.address)))
        return nullptr;
    if (!bus_->File(m.address, now)) return nullptr;
    const auto it = sensors_.find(m.address);
    return it == sensors_.end() ? nullptr : &it->second;
}

void WindowBus::Select(uint8_t address) {
    if (!sensors_.count(address)) return;
    selected_ = address;
    panel_.UseDeviceAddress(address);
}

WindowBus::Sensor* WindowBus::Selected() {
    const auto it = sensors_.find(selected_);
    return bus_ && it != sensors_.end() ? &it->second : nullptr;
}

bool WindowBus::IsSelected(const Sensor& s) const {
    const auto it = sensors_.find(selected_);
    return it != sensors_.end() && &it->second == &s;
}

int WindowBus::SelectedRate() const {
    const std::optional<size_t> at = bus_ ? bus_->Find(selected_) : std::nullopt;
    return at ? bus_->Rate(*at) : 0;
}

bool WindowBus::SelectedSilent() const {
    const std::optional<size_t> at = bus_ ? bus_->Find(selected_) : std::nullopt;
    return at && bus_->StateOf(*at) == PolledBus::State::Silent;
}

const WindowBus::Sensor* WindowBus::Find(uint8_t address) const {
    const auto it = sensors_.find(address);
    return it == sensors_.end() ? nullptr : &it->second;
}

void WindowBus::SetValueFormat(const std::string& format) {
    valueFormat_ = format;
    for (auto& [address, s] : sensors_) s.readout.SetValueFormat(format);
}

void WindowBus::Break() {
    for (auto& [address, s] : sensors_) s.plot.Break();
}

void WindowBus::CountSecond() {
    if (bus_) bus_->CountSecond();
}

std::vector<std::string> WindowBus::TakeNews(bool chinese) {
    std::vector<std::string> texts;
    if (!bus_) return texts;
    const int intervalMs = static_cast<int>(interval_.count());
    for (const BusPoller::News& n : bus_->TakeNews()) {
        // A sensor that falls silent leaves a gap in its trace.
        if (n.kind == BusPoller::NewsKind::Silent) {
            const auto it = sensors_.find(n.address);
            if (it != sensors_.end()) it->second.plot.Break();
        }
        texts.push_back(BusNewsText(n, bus_->Find(n.address).has_value(), intervalMs, chinese));
    }
    return texts;
}
