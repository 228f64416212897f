#include "PublishQueue.h"

#include <algorithm>
#include <utility>

size_t PublishQueue::BytesOf(const FeedMessage& m) {
    return sizeof(Entry) + m.topic.capacity() + m.payload.capacity();
}

size_t PublishQueue::FirstUnsent() const {
    // Rows on their way or acknowledged lead the queue: at most a window's worth.
    size_t i = 0;
    while (i < entries_.size() && entries_[i].state != State::Unsent) ++i;
    return i;
}

bool PublishQueue::Push(FeedMessage message) {
    bool dropped = false;
    while (!HasRoomFor(message)) {
        const size_t oldest = FirstUnsent();
        ++dropped_;
        dropped = true;
        if (oldest == entries_.size()) return true;
        bytes_ -= BytesOf(entries_[oldest].message);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(oldest));
    }
    bytes_ += BytesOf(message);
    entries_.push_back(Entry{nextSequence_++, std::move(message)});
    return dropped;
}

std::optional<PublishQueue::Next> PublishQueue::NextToSend() const {
    const size_t i = FirstUnsent();
    if (i == entries_.size()) return std::nullopt;
    return Next{entries_[i].sequence, entries_[i].message};
}

void PublishQueue::MarkSent(uint64_t sequence, int mid) {
    const size_t i = FirstUnsent();
    if (i == entries_.size() || entries_[i].sequence != sequence) return;
    entries_[i].mid = mid;
    entries_[i].state = State::InFlight;
    ++inFlight_;
}

void PublishQueue::Acknowledge(int mid) {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [mid](const Entry& e) {
        return e.state == State::InFlight && e.mid == mid;
    });
    if (it == entries_.end()) return;
    it->state = State::Acknowledged;
    --inFlight_;
    ++acknowledged_;
    while (!entries_.empty() && entries_.front().state == State::Acknowledged) {
        ++delivered_[entries_.front().message.address];
        bytes_ -= BytesOf(entries_.front().message);
        entries_.pop_front();
    }
}

void PublishQueue::Unsend() {
    // An acknowledged row behind an unacknowledged one is with the broker
    // already: it stays, acknowledged, so that it leaves in its turn.
    for (Entry& e : entries_) {
        if (e.state != State::InFlight) continue;
        e.state = State::Unsent;
        e.mid = 0;
    }
    inFlight_ = 0;
}
