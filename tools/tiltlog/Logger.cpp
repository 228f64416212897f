#include "Logger.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AddressList.h"
#include "BusNews.h"
#include "RecorderGroup.h"
#include "RowJson.h"
#include "SystemCalls.h"
#include "ValueText.h"

namespace {

constexpr std::chrono::seconds kTick{1};
constexpr std::chrono::seconds kRetryPeriod{1};
constexpr std::chrono::seconds kFeedGrace{3};
// A line reopened in an outage that stays open this long is back even without
// an answer; a server that takes each connection and drops it is not.
constexpr std::chrono::seconds kBackAfter{2};

DeviceLink::Options LinkOptions(const LoggerOptions& options) {
    DeviceLink::Options o;
    o.pollPeriodMs = options.intervalMs > 0 ? options.intervalMs : AcquisitionCycle::kPollPeriodMs;
    // No settings command is ever sent from here: a stray acknowledgement is no result.
    o.settingsReplies = false;
    return o;
}

}  // namespace

Logger::Logger(const LoggerOptions& options, Parts parts)
    : options_(options),
      parts_(parts),
      reports_(options, parts_.port, parts_.wakeFd),
      decode_(options.Decode()),
      valueFormat_(options.ValueFormat()),
      view_(parts_.console, timers_,
            ConsoleLinkView::PortFacts{[this] { return DescribePort(); },
                                       [this] { return parts_.port.LastOpenError(); },
                                       [this] { return parts_.port.OpenFailureNote(); }},
            options.reconnect),
      device_(DeviceLink::Parts{view_, store_, parts_.port, *this, decode_, healthClock_},
              LinkOptions(options), [this](const Measurement& m) { OnMeasurement(m); }),
      link_(device_.State()),
      path_(device_.Receive()),
      panel_(device_.Panel()),
      commands_(device_.Commands()),
      cycle_(device_.Cycle()) {
    device_.onHealthChange = [this](LinkHealth::State before) { TellHealth(before); };
    const bool shared = parts_.recorders.size() < options_.addresses.size();
    for (size_t i = 0; i < options_.addresses.size(); ++i) {
        SensorLog& s = sensors_.emplace_back();
        s.address = options_.addresses[i];
        s.recorder = parts_.recorders[shared ? 0 : i];
        s.ownsRecorder = !shared || i == 0;
        s.prefix =
            options_.Bus() && !shared ? AddressPrefix(options_.prefix, s.address) : options_.prefix;
        if (options_.Bus() && shared) s.lead = std::to_string(s.address) + ",";
    }
    if (options_.Bus()) {
        PolledBus::Options bus;
        bus.addresses = options_.addresses;
        bus.interval = std::chrono::milliseconds(options_.intervalMs);
        bus.protocol = options_.protocol;
        bus.registers = options_.registers;
        bus.baud = options_.baud;
        bus.parity = options_.parity;
        if (options_.replyTimeoutMs > 0)
            bus.replyTimeout = std::chrono::milliseconds(options_.replyTimeoutMs);
        bus.window = static_cast<size_t>(options_.inFlight);
        bus_.emplace(bus, path_);
        parts_.port.SetWindow(bus.window);
    }
    // Set as given rather than through the protocol switch: an address 0 the
    // operator asked for under Modbus stays 0.
    link_.protocol = options_.protocol;
    link_.modbusRegisters = options_.registers;
    panel_.TakeLine(options_.Line());
    view_.ShowAddress(std::to_string(options_.address));
    panel_.UseDeviceAddress(options_.address);
    // The port was named on the command line: a failure to open it is news at once.
    link_.startupUnconfirmed = false;
    // A bus is asked in turn by the loop itself, not on the cycle's fixed period.
    if (options_.intervalMs > 0 && !bus_) cycle_.PollingToggle();
}

Logger::~Logger() {
    // The channel must not call an owner that is gone.
    parts_.port.Close();
}

void Logger::DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) {
    path_.OnRxBlock(message, bytes, info);
}

void Logger::WakeUiThread() {
    reports_.Wake();
}

void Logger::ShowPortError(const std::string& text, const std::string&) {
    reports_.Add(text);
}

std::string Logger::AlsoFeed() const {
    return parts_.feed && !options_.NoFiles() ? " and " + parts_.feed->Describe() : "";
}

bool Logger::FinishFeed() {
    if (!parts_.feed) return true;
    // Rows still held get a moment with a broker that is there; the files have them anyway.
    const RowFeed::Totals totals = parts_.feed->Finish(kFeedGrace);
    PrintFeedMessages();
    std::string line =
        std::to_string(totals.published) + " rows published to " + parts_.feed->Describe();
    if (totals.unsent + totals.dropped != 0) {
        line += "; " + std::to_string(totals.unsent + totals.dropped) + " were not" +
                (totals.dropped != 0
                     ? " (" + std::to_string(totals.dropped) + " dropped from a full queue)"
                     : "") +
                (options_.NoFiles()            ? ""
                 : options_.ToStandardOutput() ? "; the CSV rows have them all"
                                               : "; the CSV rows have them all, and the next run "
                                                 "with this --output and --mqtt publishes them");
    }
    parts_.console.Message(line);
    return !totals.misconfigured;
}

void Logger::PrintFeedMessages() {
    if (!parts_.feed) return;
    for (const std::string& m : parts_.feed->TakeMessages()) parts_.console.Message(m);
}

void Logger::PrintPortErrors() {
    for (const std::string& e : reports_.Take()) parts_.console.Message(DescribePort() + ": " + e);
}

std::string Logger::OutputName() const {
    if (options_.ToStandardOutput()) return "standard output";
    if (options_.NoFiles()) return parts_.feed ? parts_.feed->Describe() : "nowhere";
    if (options_.Bus()) return "one file per address in " + options_.output;
    return sensors_.front().recorder->CurrentPath();
}

void Logger::OnMeasurement(const Measurement& m) {
    // A whole reply ends its turn, even one without any value; one that
    // answers no request of its own is nobody's row.
    // Alone on its line, every reply is the sensor's, whatever address it names.
    SensorLog* s = &sensors_.front();
    if (bus_) {
        const std::optional<size_t> at = bus_->File(m.address, SteadyClock::now());
        if (!at) return;
        s = &sensors_[*at];
    }
    // A reply without any value is no measurement: no row, as in the window.
    if (countReached_ || !m.HasAnyValue()) return;
    s->x.Take(m.hasX, m.x);
    s->y.Take(m.hasY, m.y);
    s->temperature.Take(m.hasTemperature, m.temperature);
    const LocalTime at = parts_.clock.Now();
    const std::string x = s->x.Text(valueFormat_);
    const std::string y = s->y.Text(valueFormat_);
    const std::string temperature = s->temperature.Text(valueFormat_);
    s->recorder->AppendRow(s->lead + x, y, temperature, at);
    if (parts_.feed) parts_.feed->Publish(s->address, RowJson(s->address, x, y, temperature, at));
    ++s->rows;
    ++rows_;
    if (options_.count != 0 && rows_ >= options_.count) countReached_ = true;
}

void Logger::PollBus(SteadyClock::time_point now) {
    if (!bus_ || !link_.linkOpen) return;
    bus_->Poll(now);
    for (const BusPoller::News& n : bus_->TakeNews())
        parts_.console.Message(
            BusNewsText(n, bus_->Find(n.address).has_value(), options_.intervalMs, false));
}

bool Logger::TryOpen(bool again) {
    PrintPortErrors();
    // The panel says an open failure itself, through the view.
    const SteadyClock::time_point openStart = SteadyClock::now();
    if (!panel_.OpenCloseToggle()) return false;
    // Setting up a connection takes one round trip to the server: the first
    // guess of what the network adds to each reply (a tty opens in no time).
    const SteadyClock::duration openTook = SteadyClock::now() - openStart;
    const std::string failure = reports_.SetUpFailure();
    if (!failure.empty()) {
        CloseLink();
        view_.SayOnce(failure + view_.RetryNote());
        return false;
    }

    // A first open ends whatever its tries said; in an outage the line is back
    // only once it answers or stays.
    if (!again) outage_ = false;
    if (!outage_) view_.ForgetSaid();
    openedAt_ = SteadyClock::now();
    // The first request goes out at once rather than one period after the open.
    timers_.DueAt(LinkTimer::Poll, SteadyClock::now());
    if (bus_) bus_->Restart(SteadyClock::now(), openTook);
    const std::string folder = options_.ToStandardOutput() ? "." : options_.output;
    for (SensorLog& s : sensors_) {
        if (!s.ownsRecorder || s.recorder->IsRecording() || options_.NoFiles()) continue;
        if (!s.recorder->Start(folder, s.prefix)) {
            parts_.console.Message("cannot start the writer thread");
            CloseLink();
            writerFailed_ = true;
            return false;
        }
    }
    if (!again) TellPolling();
    everOpen_ = true;
    return true;
}

void Logger::TellPolling() const {
    // A raw or Modbus TCP converter's line is set in the converter, not here.
    const bool fixed = parts_.port.ReachOf(static_cast<uint32_t>(options_.portNumber)) ==
                       CSerialPort::LineReach::Fixed;
    const std::string line =
        DescribePort() +
        (fixed ? " (line settings: the converter's own), "
               : " at " + std::to_string(options_.baud) + " 8" + options_.parity + "1, ") +
        (options_.protocol == kProtocolModbus ? "modbus" : "tarq");
    if (bus_) {
        parts_.console.Message(
            "logging " + line + " addresses " + AddressListText(options_.addresses) +
            ", asking each every " + std::to_string(options_.intervalMs) + " ms, " +
            (options_.inFlight > 1 ? "up to " + std::to_string(options_.inFlight) + " at once, "
                                   : "one at a time, ") +
            "reply time-out " + TimeoutText() + ", to " + OutputName() + AlsoFeed());
        return;
    }
    const std::string how = options_.intervalMs > 0
                                ? "polling every " + std::to_string(options_.intervalMs) + " ms"
                                : "listening";
    parts_.console.Message("logging " + line + " address " + std::to_string(options_.address) +
                           ", " + how + ", to " + OutputName() + AlsoFeed());
}

std::string Logger::TimeoutText() const {
    const ReplyTimeout& t = bus_->Poller().Timeout();
    const std::string line = SpanText(t.Line());
    return t.Fixed() ? line : line + " plus the round trip measured";
}

void Logger::CloseLink() {
    if (link_.linkOpen) panel_.OpenCloseToggle();
}

void Logger::OnPortLost() {
    PrintPortErrors();
    // Rows already handed over stay with the recorder: losing the port ends only the reading.
    const std::string lost =
        "lost " + DescribePort() + ": " + LossReason(device_.Health().Report().loss, false);
    saidSilent_ = false;
    if (!options_.reconnect) {
        parts_.console.Message(lost);
        return;
    }
    device_.AwaitReopen();
    retryDue_ = SteadyClock::now() + kRetryPeriod;
    // One line for the whole outage: a server that takes each connection and
    // drops it again is one fault, not one a second.
    if (outage_) return;
    outage_ = true;
    view_.ForgetSaid();
    parts_.console.Message(lost + view_.RetryNote());
}

void Logger::TellBack() {
    outage_ = false;
    view_.ForgetSaid();
    parts_.console.Message(DescribePort() + " open again");
    // Back but not answering: that is said at once too.
    TellHealth(device_.Health().Now());
}

void Logger::TellHealth(LinkHealth::State before) {
    const LinkHealth::Status s = device_.Health().Report();
    if (outage_) {
        if (link_.linkOpen && s.state == LinkHealth::State::Answering) TellBack();
        return;
    }
    // A bus tells of its sensors one by one, in PollBus.
    if (bus_) return;
    if (s.state == LinkHealth::State::Silent && !saidSilent_) {
        // Asked and not answering, or only listened to and quiet.
        parts_.console.Message(s.unanswered > 0
                                   ? "no answer from " + DescribePort() + " (" +
                                         std::to_string(s.unanswered) +
                                         " requests in a row); still asking"
                                   : "no frame from " + DescribePort() + " for " +
                                         std::to_string(s.quietSeconds) + " s; still listening");
        saidSilent_ = true;
    } else if (before == LinkHealth::State::Silent && s.state == LinkHealth::State::Answering &&
               saidSilent_) {
        parts_.console.Message(DescribePort() + " answers again");
        saidSilent_ = false;
    }
}

void Logger::RunLinkTimers(SteadyClock::time_point now) {
    if (view_.TakePostedConfirmation()) commands_.OnOpConfirmed();
    if (timers_.TakeExpiry(LinkTimer::Poll, now)) cycle_.PollTick();
    if (timers_.TakeExpiry(LinkTimer::Settings, now)) commands_.OnTimeout();
}

void Logger::TellRecording(SensorLog& sensor) {
    CsvRecorder& recorder = *sensor.recorder;
    if (options_.ToStandardOutput() || !recorder.IsRecording()) return;
    const RecorderStats stats = recorder.Stats();
    for (const RecordingNews& n :
         sensor.alerts.Check(recorder.Fault(), stats, SteadyClock::now())) {
        const std::string& file = n.fault.path;
        const std::string reason = SystemText(n.fault.error);
        const std::string held = std::to_string(n.rowsHeld) + " rows held";
        switch (n.event) {
            case RecordingEvent::CannotCreate:
            case RecordingEvent::CannotWrite:
                parts_.console.Message("cannot write " + file + ": " + reason +
                                       "; the rows are held in memory and written when it can be");
                break;
            case RecordingEvent::DiskFull:
                parts_.console.Message(file + ": the disk is full (" + reason +
                                       "); the rows are held in memory until there is space");
                break;
            case RecordingEvent::StillFailing:
                parts_.console.Message("still cannot write " + file + ": " + reason + "; " + held);
                break;
            case RecordingEvent::Dropping:
                parts_.console.Message(
                    "more than " + std::to_string(recorder.HeldBytesLimit() / (1024 * 1024)) +
                    " MiB of rows held" +
                    (bus_ ? " for address " + std::to_string(sensor.address) : "") +
                    ": the oldest are being dropped");
                break;
            case RecordingEvent::WritingAgain:
                parts_.console.Message("writing to " + recorder.CurrentPath() + " again");
                break;
        }
    }
}

void Logger::Tick() {
    PrintFeedMessages();
    device_.HealthTick();
    if (outage_ && link_.linkOpen && SteadyClock::now() - openedAt_ >= kBackAfter) TellBack();
    framesPerSecond_ = path_.TakeFramesThisSecond();
    // The console view shows no traffic; the flush only keeps it from growing.
    cycle_.FlushTraffic();
    for (SensorLog& sensor : sensors_) TellRecording(sensor);
    if (bus_) bus_->CountSecond();
    if (!parts_.console.Terminal()) return;
    StatusFigures s;
    s.linkOpen = view_.LinkShownOpen();
    s.framesPerSecond = framesPerSecond_;
    s.miscount = path_.Miscount();
    s.rows = rows_;
    s.rowsOnDisk = sensors_.front().recorder->Stats().rowsWritten;
    if (bus_) {
        for (size_t i = 0; i < sensors_.size(); ++i) {
            const BusPoller::Sensor& b = bus_->Poller().Sensors()[i];
            s.sensors.push_back({b.address, bus_->Rate(i), b.missed, sensors_[i].rows});
        }
    }
    s.file = everOpen_ ? OutputName() : "";
    if (parts_.feed) s.feed = parts_.feed->StatusText();
    s.port = DescribePort();
    parts_.console.Status(s);
}

bool Logger::ReadSignal() {
    signalfd_siginfo info{};
    const ssize_t n = RetryEintr([&] { return ::read(parts_.signalFd, &info, sizeof info); });
    return n == static_cast<ssize_t>(sizeof info);
}

int Logger::Run() {
    const SteadyClock::time_point start = SteadyClock::now();
    const bool limited = options_.durationSeconds > 0;
    const SteadyClock::time_point endAt =
        start + std::chrono::duration_cast<SteadyClock::duration>(
                    std::chrono::duration<double>(options_.durationSeconds));

    if (!TryOpen(false)) {
        if (writerFailed_) return Finish(kExitFailure);
        if (!options_.reconnect) return Finish(kExitPort);
        retryDue_ = start + kRetryPeriod;
    }
    // Ready once the first try is made: a port still missing is waited for,
    // and the service is up all the same.
    if (parts_.service)
        parts_.service->Ready((link_.linkOpen ? "logging " : "waiting for ") + DescribePort());
    SteadyClock::time_point tickDue = start + kTick;

    int status = kExitOk;
    for (;;) {
        SteadyClock::time_point now = SteadyClock::now();
        SteadyClock::time_point next = tickDue;
        if (parts_.service) {
            parts_.service->Alive(now);
            if (const auto due = parts_.service->NextDue()) next = std::min(next, *due);
        }
        if (const auto due = timers_.NextDue()) next = std::min(next, *due);
        if (!link_.linkOpen && options_.reconnect) next = std::min(next, retryDue_);
        if (bus_ && link_.linkOpen) next = std::min(next, bus_->NextDue());
        if (limited) next = std::min(next, endAt);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();

        pollfd fds[2] = {{parts_.signalFd, POLLIN, 0}, {parts_.wakeFd, POLLIN, 0}};
        const int ready = RetryEintr(
            [&] { return ::poll(fds, 2, static_cast<int>(std::max<int64_t>(0, wait))); });
        if (ready < 0) {
            parts_.console.Message(std::string("poll: ") + SystemText(errno));
            status = kExitFailure;
            break;
        }
        if (ready > 0 && (fds[0].revents & POLLIN) && ReadSignal()) break;
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            uint64_t value = 0;
            RetryEintr([&] { return ::read(parts_.wakeFd, &value, sizeof value); });
        }

        while (!countReached_ && parts_.port.ServiceDeliveries()) {
        }
        PrintPortErrors();
        if (countReached_) break;
        if (parts_.stream && parts_.stream->Error() != 0) break;
        if (device_.CheckLoss()) {
            OnPortLost();
            if (!options_.reconnect) {
                status = kExitPort;
                break;
            }
        }

        now = SteadyClock::now();
        if (limited && now >= endAt) break;
        RunLinkTimers(now);
        PollBus(now);
        if (!link_.linkOpen && options_.reconnect && now >= retryDue_) {
            if (!TryOpen(everOpen_)) {
                if (writerFailed_) {
                    status = kExitFailure;
                    break;
                }
                retryDue_ = now + kRetryPeriod;
            }
        }
        if (now >= tickDue) {
            Tick();
            tickDue += kTick;
            if (tickDue <= now) tickDue = now + kTick;
        }
    }
    // A block the monitor has handed over is a delivered row too.
    while (!countReached_ && parts_.port.ServiceDeliveries()) {
    }
    return Finish(status);
}

void Logger::TellUnfiled() const {
    if (!bus_) return;
    const uint64_t unfiled = bus_->Unfiled();
    if (unfiled != 0)
        parts_.console.Message(std::to_string(unfiled) +
                               " replies answered no request of their own and were not recorded");
}

int Logger::Finish(int status) {
    if (parts_.service) parts_.service->Stopping();
    CloseLink();
    PrintPortErrors();
    const bool recorded = sensors_.front().recorder->IsRecording();
    for (SensorLog& s : sensors_) {
        if (s.ownsRecorder) s.recorder->Stop();
    }
    parts_.console.EndStatus();
    // A feed that could never deliver as set up fails the run, as a bad option would.
    if (!FinishFeed() && status == kExitOk) status = kExitFailure;
    TellUnfiled();

    if (parts_.stream && parts_.stream->Error() != 0) {
        const int err = parts_.stream->Error();
        // A reader that has seen enough (head, a closed pipe) is a normal end.
        if (err == EPIPE) return status;
        parts_.console.Message("standard output: " + SystemText(err));
        return kExitFailure;
    }
    bool anyLost = false;
    for (const SensorLog& s : sensors_) {
        if (!s.ownsRecorder) continue;
        const RecorderStats stats = s.recorder->Stats();
        const uint64_t lost = stats.rowsAbandoned + stats.rowsDropped;
        // Its own file on a bus; the run's one output otherwise.
        const std::string where = options_.Bus() && !options_.ToStandardOutput()
                                      ? s.recorder->CurrentPath()
                                      : OutputName();
        if (lost != 0) {
            const WriteFault fault = s.recorder->Fault();
            parts_.console.Message(std::to_string(lost) + " rows could not be written to " + where +
                                   (fault.error != 0 ? ": " + SystemText(fault.error) : ""));
            anyLost = true;
        } else if (recorded) {
            const uint64_t rows = s.lead.empty() && options_.Bus() ? s.rows : rows_;
            parts_.console.Message(std::to_string(rows) + " rows to " + where);
        }
    }
    if (anyLost) return status == kExitOk ? kExitFailure : status;
    return status;
}
