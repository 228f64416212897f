#include "BusPoller.h"

#include <algorithm>
#include <utility>

BusPoller::BusPoller(std::vector<uint8_t> addresses, Clock::duration interval, ReplyTimeout timeout,
                     size_t window)
    : interval_(interval), timeout_(timeout), window_(std::max<size_t>(window, 1)) {
    for (uint8_t a : addresses) {
        Sensor s;
        s.address = a;
        sensors_.push_back(s);
    }
}

void BusPoller::Restart(Clock::time_point now) {
    turns_.clear();
    // Nothing asked before the restart is awaited, even late.
    for (Sensor& s : sensors_) {
        s.turn = 0;
        s.answered = false;
    }
    answeredUpTo_ = 0;
    next_ = 0;
    requestAt_ = now;
    roundStart_ = now;
}

std::optional<uint8_t> BusPoller::Due(Clock::time_point now, bool receiving) {
    if (sensors_.empty()) return std::nullopt;
    for (size_t i = 0; i < turns_.size();) {
        Turn& t = turns_[i];
        if (now < t.deadline) {
            ++i;
        } else if (i == 0 && receiving && !t.extended) {
            t.extended = true;
            t.deadline = now + timeout_.Current();
            ++i;
        } else {
            Unanswered(t.at, false);
            EndTurn(i, now, false);
        }
    }
    if (turns_.size() >= window_ || now < requestAt_ || InFlight(next_)) return std::nullopt;
    if (next_ == 0) {
        // A round that starts late starts now; one that is on time keeps its
        // phase, so the rate does not drift by the loop's own lateness.
        roundStart_ = now - requestAt_ < interval_ ? requestAt_ : now;
        roundBegan_ = now;
    }
    Turn& t = turns_.emplace_back();
    t.at = next_;
    t.deadline = now + timeout_.Current();
    Sensor& s = sensors_[next_];
    ++s.requests;
    s.requestedAt = now;
    s.turn = ++issued_;
    s.answered = false;
    next_ = (next_ + 1) % sensors_.size();
    // Each sensor once per interval: the next round waits for its time.
    if (next_ == 0) requestAt_ = roundStart_ + interval_;
    return s.address;
}

BusPoller::Verdict BusPoller::OnReply(uint8_t address, Clock::time_point now) {
    const std::optional<size_t> at = Find(address);
    if (!at) return NotAsked(address);
    for (size_t i = 0; i < turns_.size(); ++i) {
        if (turns_[i].at != *at) continue;
        Answered(*at, now);
        EndTurn(i, now, true);
        return Verdict::Filed;
    }
    Sensor& s = sensors_[*at];
    if (!s.answered && s.turn > answeredUpTo_ && s.turn + window_ >= issued_) {
        // Late, but still before the reply to any request after it.
        s.answered = true;
        answeredUpTo_ = s.turn;
        Answered(*at, now);
        return Verdict::Filed;
    }
    if (!s.answered || s.turn < answeredUpTo_) return NotAsked(address);
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
    if (turns_.empty()) return;
    Unanswered(turns_.front().at, true);
    EndTurn(0, now, false);
}

bool BusPoller::InFlight(size_t at) const {
    for (const Turn& t : turns_) {
        if (t.at == at) return true;
    }
    return false;
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

void BusPoller::EndTurn(size_t i, Clock::time_point now, bool answered) {
    const size_t at = turns_[i].at;
    turns_.erase(turns_.begin() + static_cast<std::ptrdiff_t>(i));
    Sensor& s = sensors_[at];
    s.answered = answered;
    if (answered) answeredUpTo_ = std::max(answeredUpTo_, s.turn);
    requestAt_ = std::max(requestAt_, now);
    if (at + 1 == sensors_.size() && now - roundBegan_ > interval_ &&
        !std::exchange(toldLongRound_, true)) {
        Tell(NewsKind::LongRound).length = now - roundBegan_;
    }
}

BusPoller::Clock::time_point BusPoller::NextDue() const {
    if (turns_.size() < window_ && !InFlight(next_)) return requestAt_;
    Clock::time_point first = Clock::time_point::max();
    for (const Turn& t : turns_) first = std::min(first, t.deadline);
    return first;
}

std::optional<uint8_t> BusPoller::AwaitedAddress() const {
    if (turns_.empty()) return std::nullopt;
    return sensors_[turns_.front().at].address;
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
