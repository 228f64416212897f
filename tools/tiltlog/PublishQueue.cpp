#include "PublishQueue.h"

#include <algorithm>
#include <utility>

bool PublishQueue::Push(FeedMessage message) {
    bool dropped = false;
    if (entries_.size() >= limit_) {
        if (sent_ > 0) --sent_;
        entries_.pop_front();
        ++dropped_;
        dropped = true;
    }
    entries_.push_back(Entry{nextSequence_++, std::move(message)});
    return dropped;
}

std::optional<PublishQueue::Next> PublishQueue::NextToSend() const {
    if (sent_ >= entries_.size()) return std::nullopt;
    const Entry& e = entries_[sent_];
    return Next{e.sequence, e.message};
}

void PublishQueue::MarkSent(uint64_t sequence, int mid) {
    if (sent_ >= entries_.size() || entries_[sent_].sequence != sequence) return;
    entries_[sent_].mid = mid;
    ++sent_;
}

void PublishQueue::Acknowledge(int mid) {
    const auto end = entries_.begin() + static_cast<std::ptrdiff_t>(sent_);
    const auto it =
        std::find_if(entries_.begin(), end, [mid](const Entry& e) { return e.mid == mid; });
    if (it == end || it->acknowledged) return;
    it->acknowledged = true;
    ++acknowledged_;
    while (sent_ > 0 && entries_.front().acknowledged) {
        entries_.pop_front();
        --sent_;
    }
}

void PublishQueue::Unsend() {
    const auto end = entries_.begin() + static_cast<std::ptrdiff_t>(sent_);
    // An acknowledged row behind an unacknowledged one is with the broker already.
    const auto kept =
        std::remove_if(entries_.begin(), end, [](const Entry& e) { return e.acknowledged; });
    for (auto it = entries_.begin(); it != kept; ++it) it->mid = 0;
    entries_.erase(kept, end);
    sent_ = 0;
}
