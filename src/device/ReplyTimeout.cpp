#include "ReplyTimeout.h"

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds kTurnaroundAllowance{50};

double WireMs(uint32_t baud, int bitsPerByte, size_t bytes) {
    return static_cast<double>(bitsPerByte) * static_cast<double>(bytes) * 1000.0 /
           static_cast<double>(std::max<uint32_t>(baud, 1));
}

}  // namespace

ReplyTimeout::ReplyTimeout(uint32_t baud, int bitsPerByte, size_t requestBytes,
                           size_t longestReplyBytes)
    : line_(DerivedReplyTimeout(baud, bitsPerByte, requestBytes, longestReplyBytes)),
      wire_(std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(
          WireMs(baud, bitsPerByte, requestBytes + longestReplyBytes)))) {}

ReplyTimeout::ReplyTimeout(std::chrono::milliseconds fixed) : line_(fixed), fixed_(true) {}

void ReplyTimeout::Seed(Duration roundTrip) {
    if (!measured_) Learn(roundTrip);
}

void ReplyTimeout::Sample(Duration requestToReply) {
    // What the line itself took is in the line's share already.
    const Duration network = std::max(Duration::zero(), requestToReply - wire_);
    if (!measured_) learnt_ = false;  // a seed gives way to the first measurement
    measured_ = true;
    Learn(network);
}

void ReplyTimeout::Learn(Duration network) {
    if (!learnt_) {
        smoothed_ = network;
        spread_ = network / 2;
        learnt_ = true;
        return;
    }
    const Duration error = network > smoothed_ ? network - smoothed_ : smoothed_ - network;
    spread_ += (error - spread_) / 4;
    smoothed_ += (network - smoothed_) / 8;
}

ReplyTimeout::Duration ReplyTimeout::Current() const {
    if (fixed_ || !learnt_) return line_;
    return line_ + std::clamp<Duration>(smoothed_ + 4 * spread_, Duration::zero(), kMostNetwork);
}

std::chrono::milliseconds DerivedReplyTimeout(uint32_t baud, int bitsPerByte, size_t requestBytes,
                                              size_t longestReplyBytes) {
    const double ms = 2.0 * WireMs(baud, bitsPerByte, requestBytes + longestReplyBytes);
    return std::chrono::milliseconds(static_cast<int64_t>(ms + 0.999)) + kTurnaroundAllowance;
}
