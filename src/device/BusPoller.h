#pragma once

#include <bitset>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ReplyTimeout.h"

// The turns of several sensors on one line: each address once per round, a
// round at most once per interval. A half-duplex line carries one request at a
// time; a Modbus TCP gateway that queues requests may be given a window of
// several, each awaited with its own time-out. A turn ends when its reply is
// whole, when a reply was given up as bad, or when the reply time-out has
// passed; the next request then goes at once. Decides whose a reply is: replies
// come in the order of the requests, so a reply is an awaited sensor's, or a
// late one of a turn timed out since the last reply; any other is nobody's and
// is told, never filed. Time is passed in, so the poller never waits and tests
// need no clock.
class BusPoller {
public:
    using Clock = std::chrono::steady_clock;

    // Requests in a row without a good reply after which a sensor counts as silent.
    static constexpr int kSilentAfter = 3;

    struct Sensor {
        uint8_t address = 0;
        uint64_t requests = 0;
        uint64_t replies = 0;     // good replies filed as its own
        uint64_t missed = 0;      // turns that ended without a good reply
        uint64_t duplicates = 0;  // second replies to one request
        uint64_t notAsked = 0;    // replies naming it while it was not asked
        int unansweredInARow = 0;
        int badInARow = 0;  // of those, the ones whose reply failed its check
        bool silent = false;
        bool toldDuplicate = false;
        bool toldNotAsked = false;
        Clock::time_point requestedAt{};
        uint64_t turn = 0;      // the number of its latest request, counted over the bus
        bool answered = false;  // that request's reply came
    };

    enum class NewsKind { Silent, AnswersAgain, TwoSensors, NotAsked, LongRound };
    struct News {
        NewsKind kind = NewsKind::Silent;
        uint8_t address = 0;           // LongRound: none
        std::optional<uint8_t> asked;  // NotAsked: whose turn it was
        int bad = 0;                   // Silent: replies in the row that failed their check
        Clock::duration length{};      // LongRound: how long the round took
    };
    // What became of a reply.
    enum class Verdict { Filed, Duplicate, NotAsked };

    // `window`: requests that may await their replies at once (1 on a serial line).
    BusPoller(std::vector<uint8_t> addresses, Clock::duration interval, ReplyTimeout timeout,
              size_t window = 1);

    // Starts a fresh round at `now`: after an open, the first request goes at once.
    void Restart(Clock::time_point now);
    // The address to send a request to now, if it is time for one; the poller
    // then waits for its reply. Call again while it names one: a window may take
    // several. `receiving`: a frame is half read, so the oldest turn's time-out,
    // if it falls now, is granted once more rather than talk over a sensor that
    // is still answering (on RS-485 both would be lost).
    std::optional<uint8_t> Due(Clock::time_point now, bool receiving = false);
    // A whole reply naming `address`, whose check holds. Filed only when it
    // answers a request awaited or, late, one given up on since the last reply;
    // a reply to an awaited request ends its turn.
    Verdict OnReply(uint8_t address, Clock::time_point now);
    // The oldest awaited reply came but was given up (checksum, CRC): its turn
    // ends, and counts towards silence as one without a reply.
    void OnBadReply(Clock::time_point now);
    // A first guess of the network's round trip (a connection's set-up time).
    void SeedRoundTrip(Clock::duration roundTrip) { timeout_.Seed(roundTrip); }

    // When Due has something to do next.
    Clock::time_point NextDue() const;
    bool Awaiting() const { return !turns_.empty(); }
    // The oldest request awaiting its reply.
    std::optional<uint8_t> AwaitedAddress() const;
    const std::vector<Sensor>& Sensors() const { return sensors_; }
    const ReplyTimeout& Timeout() const { return timeout_; }
    // Replies naming an address not on the list.
    uint64_t StrangerReplies() const { return strangers_; }
    // Index of `address` in the list, if it is on it.
    std::optional<size_t> Find(uint8_t address) const;
    // What happened since the last call that the operator should hear once.
    std::vector<News> TakeNews();

private:
    struct Turn {
        size_t at = 0;  // the sensor's index
        Clock::time_point deadline{};
        bool extended = false;
    };

    bool InFlight(size_t at) const;
    void Answered(size_t at, Clock::time_point now);
    void Unanswered(size_t at, bool bad);
    // Ends turns_[i].
    void EndTurn(size_t i, Clock::time_point now, bool answered);
    Verdict NotAsked(uint8_t address);
    News& Tell(NewsKind kind, uint8_t address = 0);

    std::vector<Sensor> sensors_;
    const Clock::duration interval_;
    ReplyTimeout timeout_;
    const size_t window_;
    std::vector<Turn> turns_;  // awaiting their replies, oldest first
    uint64_t issued_ = 0;
    // The latest request whose reply came: replies come in order, so one given
    // up before it will not come any more.
    uint64_t answeredUpTo_ = 0;
    size_t next_ = 0;                 // whose turn comes next
    Clock::time_point roundStart_{};  // when the round under way was due
    Clock::time_point roundBegan_{};  // when its first request went
    Clock::time_point requestAt_{};   // when the next request may go
    bool toldLongRound_ = false;
    uint64_t strangers_ = 0;
    std::bitset<256> toldStranger_;
    std::vector<News> news_;
};
