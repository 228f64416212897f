#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Where rows go besides the CSV files: a live feed that may be away for a
// while. Called from the logger's thread; none of it may wait on the network.
class RowFeed {
public:
    virtual ~RowFeed() = default;
    virtual void Publish(uint8_t address, std::string payload) = 0;
    // What the operator should read, once each, since the last call.
    virtual std::vector<std::string> TakeMessages() = 0;
    // For the status line: "MQTT held 0".
    virtual std::string StatusText() const = 0;
    struct Totals {
        uint64_t published = 0;      // the broker acknowledged them
        uint64_t unsent = 0;         // still held at the end
        uint64_t dropped = 0;        // the queue was full
        bool misconfigured = false;  // it could never deliver as set up (a refused certificate)
    };
    // Gives the feed up to `grace` to deliver what it holds, then ends it.
    virtual Totals Finish(std::chrono::milliseconds grace) = 0;
    // "mqtt://HOST:PORT/PREFIX", for messages.
    virtual std::string Describe() const = 0;
};
