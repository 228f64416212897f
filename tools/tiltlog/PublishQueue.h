#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

struct FeedMessage {
    std::string topic;
    std::string payload;
};

// The rows on their way to the broker, oldest first, until the broker has
// acknowledged them. They are sent in order; a connection that ends takes no
// row with it: what it had not acknowledged goes out again, first, on the
// next one. The broker may then see a row twice, never miss one.
// Not synchronised: its owner holds a lock.
class PublishQueue {
public:
    explicit PublishQueue(size_t limit) : limit_(limit > 0 ? limit : 1) {}

    // A row at the back. When `limit` rows are held the oldest makes room:
    // true when one was dropped.
    bool Push(FeedMessage message);

    struct Next {
        uint64_t sequence;
        FeedMessage message;
    };
    // The oldest row not sent on this connection, as a copy: the owner sends
    // it without its lock held.
    std::optional<Next> NextToSend() const;
    // The row went out under the library's message id `mid`. A row dropped
    // while it was being sent is not looked for.
    void MarkSent(uint64_t sequence, int mid);
    // The broker has it: it leaves once every older row has left too.
    void Acknowledge(int mid);
    // The connection ended: what it did not acknowledge is unsent again.
    void Unsend();

    size_t Held() const { return entries_.size(); }
    size_t InFlight() const { return sent_; }
    uint64_t Dropped() const { return dropped_; }
    uint64_t Acknowledged() const { return acknowledged_; }

private:
    struct Entry {
        uint64_t sequence;
        FeedMessage message;
        int mid = 0;
        bool acknowledged = false;
    };

    const size_t limit_;
    std::deque<Entry> entries_;
    size_t sent_ = 0;  // entries_[0 .. sent_) went out on this connection
    uint64_t nextSequence_ = 1;
    uint64_t dropped_ = 0;
    uint64_t acknowledged_ = 0;
};
