#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DeviceTypes.h"
#include "LinkState.h"
#include "LiveReadout.h"
#include "PlotBuffer.h"
#include "PolledBus.h"

class CSerialPort;
class ConnectionPanel;
class ReceivePath;
class WindowTimers;

// The window's side of a bus: the sensor bus made and remade as the address
// list, the protocol and the line say, driven between deliveries by a timer of
// its own, and each sensor's readout and chart history, so that selecting a
// sensor shows it at once. One address polls as it always has: no bus then.
class WindowBus {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDefaultInterval{200};

    struct Parts {
        LinkState& state;
        ReceivePath& path;
        CSerialPort& port;
        WindowTimers& timers;
        ConnectionPanel& panel;
        // A settings command is under way: its requests and replies have the line.
        std::function<bool()> commandUnderway;
    };
    struct Sensor {
        LiveReadout readout;
        PlotBuffer plot;
    };

    // `interval`: each sensor asked at most once per interval.
    WindowBus(Parts parts, std::chrono::milliseconds interval);

    // Each sensor asked at most once per `interval`, from the next bus made.
    void SetInterval(std::chrono::milliseconds interval);
    // Follows the link: true when the sensors polled have changed.
    bool Follow(Clock::time_point now);
    bool Active() const { return bus_.has_value(); }
    // The list the operator typed, open or not: what is recorded.
    const std::vector<uint8_t>& Addresses() const { return state_.busAddresses; }
    // A poll tick with no command's turn: true when the bus took it.
    bool PollTurn(Clock::time_point now);
    // After every delivery and at the bus timer: a turn given up, the next request.
    void Drive(Clock::time_point now);

    // The sensor a measurement reply is filed under, or null when it answers
    // no request of its own or the bus is not polled.
    Sensor* File(const Measurement& m, Clock::time_point now);
    // The operator's choice: the readout, the chart and the settings commands follow.
    void Select(uint8_t address);
    uint8_t SelectedAddress() const { return selected_; }
    Sensor* Selected();
    bool IsSelected(const Sensor& s) const;
    // The selected sensor's replies in the last counted second (0 off the bus).
    int SelectedRate() const;
    // The selected sensor has stopped answering: its last values are no reading of now.
    bool SelectedSilent() const;

    void SetValueFormat(const std::string& format);
    // The link stopped delivering: no trace joins across the gap.
    void Break();
    // Once a second: the rates, and the bus events to tell.
    void CountSecond();
    std::vector<std::string> TakeNews(bool chinese);
    const PolledBus* Bus() const { return bus_ ? &*bus_ : nullptr; }
    const Sensor* Find(uint8_t address) const;

private:
    struct Key {
        std::vector<uint8_t> addresses;
        int protocol = 0;
        uint8_t registers = 0;
        uint32_t baud = 0;
        char parity = 'N';
        bool operator==(const Key& o) const {
            return addresses == o.addresses && protocol == o.protocol && registers == o.registers &&
                   baud == o.baud && parity == o.parity;
        }
    };
    Key Wanted() const;
    void ArmTimer(Clock::time_point now);

    LinkState& state_;
    ReceivePath& path_;
    CSerialPort& port_;
    WindowTimers& timers_;
    ConnectionPanel& panel_;
    std::function<bool()> commandUnderway_;
    std::chrono::milliseconds interval_;
    std::optional<PolledBus> bus_;
    Key key_;
    std::map<uint8_t, Sensor> sensors_;
    uint8_t selected_ = 0;
    std::string valueFormat_ = "%.2f";
    bool paused_ = false;
    Clock::time_point armedFor_{};  // when the bus timer is set to fire
};
