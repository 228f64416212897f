#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

struct FeedMessage {
    std::string topic;
    std::string payload;
    uint8_t address = 0;
};

// The rows on their way to the broker, oldest first, until the broker has
// acknowledged them. They are sent in order; a connection that ends takes no
// row with it: what it had not acknowledged goes out again, first, on the
// next one. The broker may then see a row twice, never miss one.
// Bounded in bytes, the memory the rows take here.
// Not synchronised: its owner holds a lock.
class PublishQueue {
public:
    explicit PublishQueue(size_t limitBytes) : limit_(limitBytes) {}

    // What one row takes here, its texts and its entry.
    static size_t BytesOf(const FeedMessage& m);
    bool HasRoomFor(const FeedMessage& m) const { return bytes_ + BytesOf(m) <= limit_; }

    // A row at the back. Without room the oldest row not yet sent makes room,
    // or, every row being on its way, this one is given up: true when a row
    // was. A row on its way stays: the broker may still acknowledge it.
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
    size_t Bytes() const { return bytes_; }
    size_t InFlight() const { return inFlight_; }
    uint64_t Dropped() const { return dropped_; }
    uint64_t Acknowledged() const { return acknowledged_; }
    // An address's rows that have left acknowledged, each after all older
    // ones: what the broker has of that address's rows, without a gap.
    uint64_t Delivered(uint8_t address) const { return delivered_[address]; }

private:
    enum class State : uint8_t { Unsent, InFlight, Acknowledged };
    struct Entry {
        uint64_t sequence;
        FeedMessage message;
        int mid = 0;
        State state = State::Unsent;
    };
    size_t FirstUnsent() const;

    const size_t limit_;
    std::deque<Entry> entries_;
    size_t bytes_ = 0;
    size_t inFlight_ = 0;
    uint64_t nextSequence_ = 1;
    uint64_t dropped_ = 0;
    uint64_t acknowledged_ = 0;
    std::array<uint64_t, 256> delivered_{};
};
