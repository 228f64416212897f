#include "SetCommand.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "SystemCalls.h"

namespace {

// The machinery's own time-out is one second; save has none in the window, and
// a command that somehow ends without a box must not hold the run either.
constexpr std::chrono::milliseconds kLongestWait{1500};

DeviceLink::Options LinkOptions() {
    DeviceLink::Options o;
    // The window's period: the machinery's three repeats fit its time-out.
    o.pollPeriodMs = AcquisitionCycle::kPollPeriodMs;
    o.settingsReplies = true;
    return o;
}

template <typename T>
int Position(const T* table, int count, T value) {
    return static_cast<int>(std::find(table, table + count, value) - table);
}

std::string List(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : ", ") + p;
    return text;
}

}  // namespace

SetCommand::SetCommand(const LoggerOptions& options, CSerialPort& port, Console& console)
    : options_(options),
      port_(port),
      console_(console),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      reports_(options, port, wakeFd_),
      decode_(options.Decode()),
      view_(console_, timers_,
            ConsoleLinkView::PortFacts{[this] { return DescribePort(); },
                                       [this] { return port_.LastOpenError(); },
                                       [this] { return port_.OpenFailureNote(); }},
            false),
      device_(DeviceLink::Parts{view_, store_, port_, *this, decode_, healthClock_}, LinkOptions(),
              [this](const Measurement&) { measured_ = true; }) {}

SetCommand::~SetCommand() {
    // The channel must not call an owner that is gone.
    port_.Close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SetCommand::DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) {
    device_.Receive().OnRxBlock(message, bytes, info);
}

void SetCommand::WakeUiThread() {
    reports_.Wake();
}

void SetCommand::ShowPortError(const std::string& text, const std::string&) {
    reports_.Add(text);
}

std::string SetCommand::Where() const {
    return DescribePort() + ", address " + std::to_string(device_.State().deviceAddress);
}

std::vector<SetCommand::Change> SetCommand::Changes() {
    const SensorChanges& c = options_.changes;
    std::vector<Change> changes;
    if (c.zero != SensorChanges::Zero::Keep) {
        const bool set = c.zero == SensorChanges::Zero::Set;
        changes.push_back({set ? "zero set" : "zero cleared", nullptr,
                           set ? &SettingsCommands::OnSetZero : &SettingsCommands::OnClearZero});
    }
    if (c.outputRateHz >= 0) {
        const std::string hz = std::to_string(c.outputRateHz);
        // A rate on the protocol's list goes as its position, any other as typed.
        changes.push_back({"output rate " + hz + " Hz",
                           [this, hz] { view_.ChooseText(LinkChoice::Frequency, hz); },
                           &SettingsCommands::OnSetFrequency});
    }
    if (c.newParity != 0) {
        const int at = Position(kParityTable, kParityCount, c.newParity);
        changes.push_back({std::string("parity ") + c.newParity,
                           [this, at] { view_.Choose(LinkChoice::DeviceParity, at); },
                           &SettingsCommands::OnSetParity, true});
    }
    if (c.newBaud != 0) {
        const int at = Position(kBaudTable, kBaudCount, c.newBaud);
        changes.push_back({"baud rate " + std::to_string(c.newBaud),
                           [this, at] { view_.Choose(LinkChoice::DeviceBaud, at); },
                           &SettingsCommands::OnSetBaud, true});
    }
    if (c.newAddress >= 0) {
        const std::string a = std::to_string(c.newAddress);
        changes.push_back({"address " + a, [this, a] { view_.ShowNewAddress(a); },
                           &SettingsCommands::OnSetAddress, true});
    }
    if (c.save) changes.push_back({"settings saved", nullptr, &SettingsCommands::OnSave});
    return changes;
}

bool SetCommand::Open() {
    LinkState& link = device_.State();
    ConnectionPanel& panel = device_.Panel();
    link.protocol = options_.protocol;
    link.modbusRegisters = options_.registers;
    panel.TakeLine(options_.Line());
    view_.ShowAddress(std::to_string(options_.address));
    panel.UseDeviceAddress(options_.address);
    // The port was named on the command line: a failure to open it is said.
    link.startupUnconfirmed = false;
    // The output rates the window lists for this protocol.
    panel.FillFrequencyList();
    const bool opened = panel.OpenCloseToggle();
    for (const SetLinkView::Box& box : view_.TakeBoxes()) view_.SayOnce(box.text);
    if (!opened) return false;
    const std::string failure = reports_.SetUpFailure();
    if (failure.empty()) return true;
    console_.Message(failure);
    panel.CloseLink();
    return false;
}

void SetCommand::Wait(SteadyClock::time_point until) {
    if (const auto due = timers_.NextDue()) until = std::min(until, *due);
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now()).count();
    pollfd fd{wakeFd_, POLLIN, 0};
    if (RetryEintr([&] { return ::poll(&fd, 1, static_cast<int>(std::max<int64_t>(0, wait))); }) >
        0) {
        uint64_t value = 0;
        RetryEintr([&] { return ::read(wakeFd_, &value, sizeof value); });
    }
    while (port_.ServiceDeliveries()) {
    }
}

void SetCommand::Settle() {
    measured_ = false;
    const SteadyClock::time_point until = SteadyClock::now() + std::chrono::seconds(1);
    while (!measured_ && SteadyClock::now() < until) {
        Wait(until);
        if (timers_.TakeExpiry(LinkTimer::Poll, SteadyClock::now())) device_.Cycle().PollTick();
    }
}

SetCommand::Ending SetCommand::Make(const Change& change) {
    SettingsCommands& commands = device_.Commands();
    detail_.clear();
    // What came while the last change settled belongs to it.
    view_.TakeBoxes();
    view_.TakePostedConfirmation();
    if (change.prepare) change.prepare();
    (commands.*change.send)();
    // A box before any answer is the machinery refusing to send.
    for (const SetLinkView::Box& box : view_.TakeBoxes()) {
        if (box.icon == BoxIcon::None) continue;
        detail_ = box.text;
        return Ending::Refused;
    }
    const SteadyClock::time_point giveUp = SteadyClock::now() + kLongestWait;
    for (;;) {
        Wait(giveUp);
        for (const std::string& e : reports_.Take()) console_.Message(DescribePort() + ": " + e);
        if (device_.CheckLoss()) {
            detail_ =
                "lost " + DescribePort() + ": " + LossReason(device_.Health().Report().loss, false);
            return Ending::PortLost;
        }
        if (view_.TakePostedConfirmation()) {
            const bool there = commands.FollowState() == SettingsCommands::Follow::AtNew;
            commands.OnOpConfirmed();
            // A line the link could not follow the sensor to is said; the change stands.
            for (const SetLinkView::Box& box : view_.TakeBoxes()) {
                if (box.icon != BoxIcon::None) view_.SayOnce(box.text);
            }
            detail_ = AfterConfirmed(change, there);
            return Ending::Confirmed;
        }
        // The frame protocol's acknowledgement: a box that says which.
        for (const SetLinkView::Box& box : view_.TakeBoxes()) {
            if (box.icon != BoxIcon::None) {
                detail_ = "the sensor refused it";
                return Ending::NotConfirmed;
            }
            detail_ = AfterConfirmed(change, false);
            return Ending::Confirmed;
        }
        const SteadyClock::time_point now = SteadyClock::now();
        // Nothing whole at all since the port opened, or replies but no confirmation.
        const std::string silence =
            device_.Health().Report().everAnswered ? "no confirmation" : "no answer";
        if (timers_.TakeExpiry(LinkTimer::Settings, now)) {
            const std::string failure = commands.OperationName() + " failure";
            commands.OnTimeout();
            detail_ = silence + " within 1 s";
            // Where a line change may have left the sensor, in the machinery's words.
            for (const SetLinkView::Box& box : view_.TakeBoxes()) {
                if (box.text.compare(0, failure.size(), failure) == 0 &&
                    box.text.size() > failure.size() + 2)
                    detail_ += "; " + box.text.substr(failure.size() + 2);
            }
            return Ending::NotConfirmed;
        }
        if (timers_.TakeExpiry(LinkTimer::Poll, now)) device_.PollTick();
        if (now >= giveUp) {
            detail_ = silence + " within 1.5 s";
            return Ending::NotConfirmed;
        }
    }
}

std::string SetCommand::AfterConfirmed(const Change& change, bool answeredThere) {
    const LinkState& link = device_.State();
    if (options_.protocol == kProtocolModbus) {
        if (!change.movesLine || !answeredThere) return "";
        const SensorChanges& c = options_.changes;
        if (change.send == &SettingsCommands::OnSetAddress)
            return "; it answers at address " + std::to_string(link.deviceAddress);
        if (change.send == &SettingsCommands::OnSetBaud)
            return "; it answers at " + std::to_string(c.newBaud) + " baud";
        return std::string("; it answers with parity ") + c.newParity;
    }
    // The window keeps its line after a frame-protocol change; a new address the
    // sensor acknowledged is where the next change goes.
    if (change.send == &SettingsCommands::OnSetAddress) {
        const std::string a = std::to_string(options_.changes.newAddress);
        view_.ShowAddress(a);
        device_.Panel().UseDeviceAddress(static_cast<uint8_t>(options_.changes.newAddress));
    } else if (change.send == &SettingsCommands::OnSetBaud) {
        return "; this run stays at " + std::to_string(link.baud) +
               " baud, as the window does: save the settings and power the sensor off and on";
    }
    return "";
}

int SetCommand::Run() {
    if (wakeFd_ < 0) {
        console_.Message(std::string("cannot set up the event descriptor: ") + SystemText(errno));
        return kExitFailure;
    }
    if (!Open()) return kExitPort;
    // Polling gives a pending command its repeats, as in the window.
    device_.Cycle().PollingToggle();
    std::vector<std::string> done;
    const std::vector<Change> changes = Changes();
    for (size_t i = 0; i < changes.size(); ++i) {
        const std::string where = Where();
        const Ending ending = Make(changes[i]);
        if (ending == Ending::Confirmed) {
            console_.Message(where + ": " + changes[i].what + ", confirmed" + detail_);
            done.push_back(changes[i].what);
            if (i + 1 < changes.size()) Settle();
            continue;
        }
        if (ending == Ending::Refused) {
            view_.SayOnce(detail_);
        } else {
            console_.Message(where + ": " + changes[i].what + " not confirmed: " + detail_);
        }
        if (!done.empty()) console_.Message("confirmed before it: " + List(done));
        std::vector<std::string> left;
        for (size_t j = i + 1; j < changes.size(); ++j) left.push_back(changes[j].what);
        if (!left.empty()) console_.Message("not tried: " + List(left));
        if (ending == Ending::Refused) return kExitUsage;
        return ending == Ending::PortLost ? kExitPort : kExitFailure;
    }
    device_.Panel().CloseLink();
    return kExitOk;
}
