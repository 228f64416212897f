#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// How long to wait for a sensor's reply: what the line needs, plus what the
// network between here and the line adds, learnt as replies come. The network's
// share follows the request-to-reply times the way TCP follows its round trip
// (smoothed time plus four times its spread), so a steady link costs little
// more than its round trip and a jittery one is not cut short.
class ReplyTimeout {
public:
    using Duration = std::chrono::steady_clock::duration;

    // The most the network may add. Satellite and congested mobile links stay
    // under it; a longer wait would let one absent sensor stall a bus for
    // seconds per round, and such a link wants --reply-timeout-ms.
    static constexpr std::chrono::milliseconds kMostNetwork{2000};

    // The line's share from its speed (`bitsPerByte`: 10 without parity, 11
    // with) and the frames' sizes; the network's share is learnt.
    ReplyTimeout(uint32_t baud, int bitsPerByte, size_t requestBytes, size_t longestReplyBytes);
    // Always `fixed`, as the operator asked; nothing is learnt.
    // Not explicit: where a time-out is given, a fixed one reads as such.
    ReplyTimeout(std::chrono::milliseconds fixed);

    // A first guess of the round trip, such as the time a connection took to
    // set up; the first measured reply replaces it.
    void Seed(Duration roundTrip);
    // The time from a request to its whole reply.
    void Sample(Duration requestToReply);

    Duration Current() const;
    // The line's share alone: what is waited before anything is learnt.
    Duration Line() const { return line_; }
    bool Fixed() const { return fixed_; }

private:
    void Learn(Duration network);

    Duration line_;
    Duration wire_{0};  // one request and the longest reply on the wire
    bool fixed_ = false;
    bool measured_ = false;
    bool learnt_ = false;
    Duration smoothed_{0};
    Duration spread_{0};
};

// The line's share: the request's and the longest reply's time on the wire,
// twice over, and 50 ms for the sensor's turnaround and an adapter's latency.
std::chrono::milliseconds DerivedReplyTimeout(uint32_t baud, int bitsPerByte, size_t requestBytes,
                                              size_t longestReplyBytes);
