#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BusDriver.h"
#include "BusPoller.h"
#include "ReceivePath.h"

// Several sensors on one line, as the window and tiltlog poll them alike: the
// poller's turns carried out through the receive path, each reply filed under
// the sensor whose request it answers, and what the operator is shown of each
// (its rate, its state).
class PolledBus {
public:
    using Clock = BusPoller::Clock;

    enum class State { NeverAnswered, Answering, Silent };

    struct Options {
        std::vector<uint8_t> addresses;
        Clock::duration interval{};  // each address at most once per interval
        int protocol = 0;
        uint8_t registers = 4;
        // The line, for the reply time-out.
        uint32_t baud = 9600;
        char parity = 'N';
        // Fixed by the operator; none: the line's share plus the round trip learnt.
        std::optional<std::chrono::milliseconds> replyTimeout;
        size_t window = 1;
    };

    // Replies are looked for from every address on the list from now on.
    PolledBus(const Options& options, ReceivePath& path);
    ~PolledBus();
    PolledBus(const PolledBus&) = delete;
    PolledBus& operator=(const PolledBus&) = delete;

    // The time-out a line of this speed needs for a reply to a read request.
    static ReplyTimeout LineTimeout(uint32_t baud, char parity, int protocol);

    // After an open: a fresh round at once, the connection's set-up time as
    // the first guess of the round trip (none for a tty).
    void Restart(Clock::time_point now, Clock::duration openTook = {});
    // A turn given up, and every request that is due now.
    void Poll(Clock::time_point now);
    Clock::time_point NextDue() const { return poller_.NextDue(); }
    // A whole reply naming `address`: the index of the sensor it is filed
    // under, or none when it answers no request of its own (told as news).
    std::optional<size_t> File(uint8_t address, Clock::time_point now);
    // The once-a-second count behind each sensor's rate.
    void CountSecond();

    size_t Size() const { return poller_.Sensors().size(); }
    const std::vector<uint8_t>& Addresses() const { return addresses_; }
    std::optional<size_t> Find(uint8_t address) const { return poller_.Find(address); }
    // Good replies in the last counted second.
    int Rate(size_t at) const { return rates_[at]; }
    State StateOf(size_t at) const;
    const BusPoller& Poller() const { return poller_; }
    std::vector<BusPoller::News> TakeNews() { return poller_.TakeNews(); }
    // Replies that answered no request of their own, over the whole run.
    uint64_t Unfiled() const;

private:
    ReceivePath& path_;
    const std::vector<uint8_t> addresses_;
    BusPoller poller_;
    BusDriver driver_;
    std::vector<int> rates_;
    std::vector<uint64_t> repliesAtCount_;
};
