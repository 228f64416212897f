#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Console.h"
#include "DeviceLink.h"
#include "LinkTimerSchedule.h"
#include "Options.h"
#include "PortReports.h"
#include "Serialport.h"
#include "SetLinkView.h"
#include "UnwrittenSettings.h"

// tiltlog set: one sensor's own settings changed through the window's device
// link and settings commands, each change sent, repeated and confirmed as the
// window's buttons do, in the order SensorChanges gives. Ends at the first
// change not confirmed; says what was confirmed and why the rest was not.
class SetCommand : public SerialOwner {
public:
    SetCommand(const LoggerOptions& options, CSerialPort& port, Console& console);
    ~SetCommand() override;
    SetCommand(const SetCommand&) = delete;
    SetCommand& operator=(const SetCommand&) = delete;

    // The exit status: 0 every change confirmed, 1 one was not, 2 refused
    // before anything was sent, 3 the port could not be opened or was lost.
    int Run();

    void DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) override;
    void WakeUiThread() override;
    void ShowPortError(const std::string& text, const std::string& caption) override;

private:
    using SteadyClock = std::chrono::steady_clock;
    struct Change {
        std::string what;               // "address 9"
        std::function<void()> prepare;  // the lists as the operator would set them
        void (SettingsCommands::*send)();
        bool movesLine = false;  // address, baud rate or parity
    };
    enum class Ending { Confirmed, NotConfirmed, Refused, PortLost };

    std::vector<Change> Changes();
    bool Open();
    Ending Make(const Change& change);
    // After a confirmed change: the link goes where the sensor now is; returns
    // what the result line adds.
    std::string AfterConfirmed(const Change& change, bool answeredThere);
    void Wait(SteadyClock::time_point until);
    // Late answers to the last change's repeats come before the answer to a
    // read sent after it, and must not be taken for the next change's: the next
    // change waits for that answer, or a second. A lost port is left for the
    // next change to find.
    void Settle();
    std::string DescribePort() const { return reports_.DescribePort(); }
    std::string Where() const;

    const LoggerOptions& options_;
    CSerialPort& port_;
    Console& console_;
    int wakeFd_;
    PortReports reports_;
    const DecodeParameters decode_;
    UnwrittenSettings store_;
    LinkTimerSchedule timers_;
    SetLinkView view_;
    SystemHealthClock healthClock_;
    DeviceLink device_;
    // Why the last change was not confirmed, or what its confirmation adds.
    std::string detail_;
    bool measured_ = false;
};
