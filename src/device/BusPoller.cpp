#include "BusPoller.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::chrono::milliseconds kTurnaroundAllowance{50};

}  // namespace

BusPoller::BusPoller(std::vector<uint8_t> addresses, Clock::duration interval,
                     Clock::duration replyTimeout)
    : interval_(interval), replyTimeout_(replyTimeout) {
    for (uint8_t a : addresses) {
        Sensor s;
        s.address = a;
        sensors_.push_back(s);
    }
}

void BusPoller::Restart(Clock::time_point now) {
    awaiting_.reset();
    extended_ = false;
    next_ = 0;
    requestAt_ = now;
    roundStart_ = now;
}

std::optional<uint8_t> BusPoller::Due(Clock::time_point now, bool receiving) {
    if (sensors_.empty()) return std::nullopt;
    if (awaiting_ && now >= deadline_) {
        if (receiving && !extended_) {
            extended_ = true;
            deadline_ = now + replyTimeout_;
            return std::nullopt;
        }
        Sensor& s = sensors_[*awaiting_];
        ++s.missed;
        if (++s.unansweredInARow == kSilentAfter && !s.silent) {
            s.silent = true;
            news_.push_back({NewsKind::Silent, s.address});
        }
        EndTurn(now);
    }
    if (awaiting_ || now < requestAt_) return std::nullopt;
    if (next_ == 0) {
        // A round that starts late starts now; one that is on time keeps its
        // phase, so the rate does not drift by the loop's own lateness.
        roundStart_ = now - requestAt_ < interval_ ? requestAt_ : now;
    }
    awaiting_ = next_;
    extended_ = false;
    deadline_ = now + replyTimeout_;
    Sensor& s = sensors_[next_];
    ++s.requests;
    return s.address;
}

void BusPoller::OnReply(uint8_t address, Clock::time_point now) {
    const std::optional<size_t> at = Find(address);
    if (!at) return;
    Sensor& s = sensors_[*at];
    s.unansweredInARow = 0;
    if (s.silent) {
        s.silent = false;
        news_.push_back({NewsKind::AnswersAgain, s.address});
    }
    if (awaiting_ != at) return;
    ++s.replies;
    EndTurn(now);
}

void BusPoller::OnBadReply(Clock::time_point now) {
    if (!awaiting_) return;
    ++sensors_[*awaiting_].missed;
    EndTurn(now);
}

void BusPoller::EndTurn(Clock::time_point now) {
    awaiting_.reset();
    next_ = (next_ + 1) % sensors_.size();
    requestAt_ = next_ == 0 ? std::max(now, roundStart_ + interval_) : now;
}

BusPoller::Clock::time_point BusPoller::NextDue() const {
    return awaiting_ ? deadline_ : requestAt_;
}

std::optional<uint8_t> BusPoller::AwaitedAddress() const {
    if (!awaiting_) return std::nullopt;
    return sensors_[*awaiting_].address;
}

std::optional<size_t> BusPoller::Find(uint8_t address) const {
    for (size_t i = 0; i < sensors_.size(); ++i) {
        if (sensors_[i].address == address) return i;
    }
    return std::nullopt;
}

std::vector<BusPoller::News> BusPoller::TakeNews() {
    return std::exchange(news_, {});
}

std::chrono::milliseconds DerivedReplyTimeout(uint32_t baud, int bitsPerByte, size_t requestBytes,
                                              size_t longestReplyBytes) {
    const double bits = static_cast<double>(bitsPerByte) *
                        static_cast<double>(requestBytes + longestReplyBytes) * 2.0;
    const double ms = bits * 1000.0 / static_cast<double>(std::max<uint32_t>(baud, 1));
    return std::chrono::milliseconds(static_cast<int64_t>(ms + 0.999)) + kTurnaroundAllowance;
}
