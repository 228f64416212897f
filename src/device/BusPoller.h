#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The turns of several sensors on one half-duplex line: one request at a time,
// each address once per round, a round at most once per interval. A turn ends
// when its reply is whole, when a reply was given up as bad, or when the reply
// time-out has passed; the next request then goes at once. Time is passed in,
// so the poller never waits and tests need no clock.
class BusPoller {
public:
    using Clock = std::chrono::steady_clock;

    // Requests in a row without any reply after which a sensor counts as silent.
    static constexpr int kSilentAfter = 3;

    struct Sensor {
        uint8_t address = 0;
        uint64_t requests = 0;
        uint64_t replies = 0;  // whole replies to its own turn
        uint64_t missed = 0;   // turns that ended without a good reply
        int unansweredInARow = 0;
        bool silent = false;
    };

    enum class NewsKind { Silent, AnswersAgain };
    struct News {
        NewsKind kind;
        uint8_t address;
    };

    BusPoller(std::vector<uint8_t> addresses, Clock::duration interval,
              Clock::duration replyTimeout);

    // Starts a fresh round at `now`: after an open, the first request goes at once.
    void Restart(Clock::time_point now);
    // The address to send a request to now, if it is time for one; the poller
    // then waits for its reply. `receiving`: a frame is half read, so a time-out
    // that falls now is granted once more rather than talk over a sensor that is
    // still answering (on RS-485 both would be lost).
    std::optional<uint8_t> Due(Clock::time_point now, bool receiving = false);
    // A whole measurement reply from `address`. Ends the turn if it is the
    // awaited one; a late reply from another sensor only counts for that one.
    void OnReply(uint8_t address, Clock::time_point now);
    // The awaited reply came but was given up (checksum, CRC): the turn ends.
    void OnBadReply(Clock::time_point now);

    // When Due has something to do next.
    Clock::time_point NextDue() const;
    bool Awaiting() const { return awaiting_.has_value(); }
    std::optional<uint8_t> AwaitedAddress() const;
    const std::vector<Sensor>& Sensors() const { return sensors_; }
    // Index of `address` in the list, if it is on it.
    std::optional<size_t> Find(uint8_t address) const;
    // Silences begun and ended since the last call.
    std::vector<News> TakeNews();

private:
    void EndTurn(Clock::time_point now);

    std::vector<Sensor> sensors_;
    const Clock::duration interval_;
    const Clock::duration replyTimeout_;
    std::optional<size_t> awaiting_;
    Clock::time_point deadline_{};
    bool extended_ = false;
    size_t next_ = 0;                 // whose turn comes next
    Clock::time_point roundStart_{};  // when the round under way was due
    Clock::time_point requestAt_{};   // when the next request may go
    std::vector<News> news_;
};

// The reply time-out that follows from the line: the request's and the longest
// reply's time on the wire, twice over, and 50 ms for the sensor's turnaround
// and an adapter's latency. `bitsPerByte`: 10 without parity, 11 with.
std::chrono::milliseconds DerivedReplyTimeout(uint32_t baud, int bitsPerByte, size_t requestBytes,
                                              size_t longestReplyBytes);
