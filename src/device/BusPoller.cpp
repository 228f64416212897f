#include "BusPoller.h"

#include <algorithm>
#include <utility>

BusPoller::BusPoller(std::vector<uint8_t> addresses, Clock::duration interval, ReplyTimeout timeout)
    : interval_(interval), timeout_(timeout) {
    for (uint8_t a : addresses) {
        Sensor s;
        s.address = a;
        sensors_.push_back(s);
    }
}

void BusPoller::Restart(Clock::time_point now) {
    awaiting_.reset();
    previous_.reset();
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
            deadline_ = now + timeout_.Current();
            return std::nullopt;
        }
        Unanswered(*awaiting_, false);
        EndTurn(now, false);
    }
    if (awaiting_ || now < requestAt_) return std::nullopt;
    if (next_ == 0) {
        // A round that starts late starts now; one that is on time keeps its
        // phase, so the rate does not drift by the loop's own lateness.
        roundStart_ = now - requestAt_ < interval_ ? requestAt_ : now;
        roundBegan_ = now;
    }
    awaiting_ = next_;
    extended_ = false;
    deadline_ = now + timeout_.Current();
    Sensor& s = sensors_[next_];
    ++s.requests;
    s.requestedAt = now;
    return s.address;
}

BusPoller::Verdict BusPoller::OnReply(uint8_t address, Clock::time_point now) {
    const std::optional<size_t> at = Find(address);
    if (!at) return NotAsked(address);
    if (awaiting_ == at) {
        Answered(*at, now);
        EndTurn(now, true);
        return Verdict::Filed;
    }
    if (previous_ != at) return NotAsked(address);
    if (!previousAnswered_) {
        // Late, but still before the reply to the request after it.
        previousAnswered_ = true;
        Answered(*at, now);
        return Verdict::Filed;
    }
    Sensor& s = sensors_[*at];
    ++s.duplicates;
    if (!std::exchange(s.toldDuplicate, true)) Tell(NewsKind::TwoSensors, s.address);
    return Verdict::Duplicate;
}

BusPoller::Verdict BusPoller::NotAsked(uint8_t address) {
    const std::optional<size_t> at = Find(address);
    bool told = false;
    if (at) {
        ++sensors_[*at].notAsked;
        told = std::exchange(sensors_[*at].toldNotAsked, true);
    } else {
        ++strangers_;
        told = toldStranger_.test(address);
        toldStranger_.set(address);
    }
    if (!told) Tell(NewsKind::NotAsked, address).asked = AwaitedAddress();
    return Verdict::NotAsked;
}

void BusPoller::OnBadReply(Clock::time_point now) {
    if (!awaiting_) return;
    Unanswered(*awaiting_, true);
    EndTurn(now, false);
}

void BusPoller::Answered(size_t at, Clock::time_point now) {
    Sensor& s = sensors_[at];
    ++s.replies;
    s.unansweredInARow = 0;
    s.badInARow = 0;
    timeout_.Sample(now - s.requestedAt);
    if (s.silent) {
        s.silent = false;
        Tell(NewsKind::AnswersAgain, s.address);
    }
}

void BusPoller::Unanswered(size_t at, bool bad) {
    Sensor& s = sensors_[at];
    ++s.missed;
    if (bad) ++s.badInARow;
    if (++s.unansweredInARow == kSilentAfter && !s.silent) {
        s.silent = true;
        Tell(NewsKind::Silent, s.address).bad = s.badInARow;
    }
}

void BusPoller::EndTurn(Clock::time_point now, bool answered) {
    previous_ = awaiting_;
    previousAnswered_ = answered;
    awaiting_.reset();
    next_ = (next_ + 1) % sensors_.size();
    if (next_ != 0) {
        requestAt_ = now;
        return;
    }
    requestAt_ = std::max(now, roundStart_ + interval_);
    if (now - roundBegan_ > interval_ && !std::exchange(toldLongRound_, true)) {
        Tell(NewsKind::LongRound).length = now - roundBegan_;
    }
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

BusPoller::News& BusPoller::Tell(NewsKind kind, uint8_t address) {
    News& n = news_.emplace_back();
    n.kind = kind;
    n.address = address;
    return n;
}

std::vector<BusPoller::News> BusPoller::TakeNews() {
    return std::exchange(news_, {});
}
