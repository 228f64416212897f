#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "BusPoller.h"
#include "Console.h"
#include "ConsoleLinkView.h"
#include "CsvRecorder.h"
#include "DeviceLink.h"
#include "LinkTimerSchedule.h"
#include "LocalClock.h"
#include "Options.h"
#include "PolledBus.h"
#include "PortReports.h"
#include "RowFeed.h"
#include "SensorLog.h"
#include "Serialport.h"
#include "ServiceNotify.h"
#include "StreamSink.h"
#include "UnwrittenSettings.h"
#include "ValueText.h"

// tiltlog's own UI thread: it drives the window's device link (the connection
// panel opens and closes, the acquisition cycle polls, the receive path reads)
// through a console view, and sleeps in poll() on the signal descriptor and a
// wake-up eventfd between the link's timers, the once-a-second tick and the
// reconnect attempts. On a bus it asks the sensors in turn itself, one request
// on the line at a time, instead of the cycle's fixed period.
class Logger : public SerialOwner {
public:
    struct Parts {
        CSerialPort& port;
        // One per address on a bus writing files; otherwise one for all.
        std::vector<CsvRecorder*> recorders;
        Console& console;
        int signalFd;              // a signalfd of the signals that end the run
        int wakeFd;                // an eventfd that anyone may write to wake Run
        const StreamSink* stream;  // set when rows go to standard output
        Clock& clock;              // stamps each row, in its file and in the feed alike
        RowFeed* feed;             // set when rows are published too
        // Set when a service manager follows the run.
        ServiceNotify* service = nullptr;
    };

    Logger(const LoggerOptions& options, Parts parts);
    ~Logger() override;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Logs until the count, the duration, a signal or a failure ends it; returns
    // the exit status.
    int Run();

    void DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) override;
    void WakeUiThread() override;
    void ShowPortError(const std::string& text, const std::string& caption) override;

private:
    using SteadyClock = std::chrono::steady_clock;

    bool TryOpen(bool again);
    void CloseLink();
    void OnPortLost();
    // A single sensor falling silent and answering again, said once each; the
    // end of an outage when the line answers.
    void TellHealth(LinkHealth::State before);
    // The line is back after an outage: said once, and its faults are news again.
    void TellBack();
    void OnMeasurement(const Measurement& m);
    // The bus's next request, a turn given up, and silences begun or ended.
    void PollBus(SteadyClock::time_point now);
    // The replies told of once each, counted at the end.
    void TellUnfiled() const;
    std::string TimeoutText() const;
    void TellRecording(SensorLog& sensor);
    void TellPolling() const;
    // The link's timers that have expired by `now`, and a posted confirmation.
    void RunLinkTimers(SteadyClock::time_point now);
    void Tick();
    void PrintPortErrors();
    void PrintFeedMessages();
    bool FinishFeed();  // false when the feed was set up wrong
    std::string AlsoFeed() const;
    std::string DescribePort() const { return reports_.DescribePort(); }
    std::string OutputName() const;
    bool ReadSignal();
    int Finish(int status);

    const LoggerOptions& options_;
    Parts parts_;
    PortReports reports_;
    const DecodeParameters decode_;
    const std::string valueFormat_;
    UnwrittenSettings store_;
    LinkTimerSchedule timers_;
    ConsoleLinkView view_;
    SystemHealthClock healthClock_;
    DeviceLink device_;
    // Shorthands into device_.
    LinkState& link_;
    ReceivePath& path_;
    ConnectionPanel& panel_;
    SettingsCommands& commands_;
    AcquisitionCycle& cycle_;
    std::vector<SensorLog> sensors_;
    std::optional<PolledBus> bus_;

    uint64_t rows_ = 0;
    bool countReached_ = false;
    bool everOpen_ = false;
    bool writerFailed_ = false;
    bool saidSilent_ = false;
    // Lost and not back yet: the loss was said, the tries in between say nothing.
    bool outage_ = false;
    SteadyClock::time_point openedAt_;
    int framesPerSecond_ = 0;
    SteadyClock::time_point retryDue_;
};
