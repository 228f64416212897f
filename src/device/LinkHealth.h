#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "LinkLoss.h"

// The clocks the link's health reads: steady time for spans, the wall clock
// for the moments the operator is shown. Tests pass a clock they move by hand.
class HealthClock {
public:
    virtual ~HealthClock() = default;
    virtual std::chrono::steady_clock::time_point Steady() const = 0;
    virtual std::chrono::system_clock::time_point Wall() const = 0;
};

class SystemHealthClock : public HealthClock {
public:
    std::chrono::steady_clock::time_point Steady() const override {
        return std::chrono::steady_clock::now();
    }
    std::chrono::system_clock::time_point Wall() const override {
        return std::chrono::system_clock::now();
    }
};

// What is true of the link for the operator at this moment: closed, open and
// waiting for its first reply, answering, silent, lost, or waiting to reopen.
// Unanswered requests are counted here, apart from the receive path's miscount
// of bad frames. Told of every open, close, request and valid reply; cheap
// enough for every frame of a streaming sensor.
class LinkHealth {
public:
    enum class State { Closed, Waiting, Answering, Silent, Lost, Reopening };

    // Requests in a row without a valid reply after which the link is silent:
    // at 200 ms polling that is one second.
    static constexpr int kSilentAfter = 5;

    struct Status {
        State state = State::Closed;
        int rateHz = 0;        // Answering: valid replies a second
        int unanswered = 0;    // Silent: requests in a row without a reply
        int quietSeconds = 0;  // Silent with nothing asked: seconds without a frame
        bool everAnswered = false;
        std::time_t lastReply = 0;  // wall clock, when everAnswered
        LinkLoss loss;              // Lost, Reopening
        uint32_t portnr = 0;        // the port opened last
    };

    // `quietSpan`: while no request goes out, a link without a frame for this
    // long is silent too (a sensor sending on its own that stopped).
    LinkHealth(const HealthClock& clock, std::chrono::milliseconds quietSpan);

    void Opened(uint32_t portnr);
    // Closed by the operator or the program: nothing is wrong.
    void Closed();
    void Lost(const LinkLoss& loss);
    // Lost, and the same port is tried again until its device returns.
    void Reopening();
    void RequestSent();
    void ReplyReceived();
    // The once-a-second look: the rate since the last one, and silence by time.
    void Tick();

    State Now() const { return state_; }
    // Frames may be coming: open and not silent.
    bool Live() const { return state_ == State::Waiting || state_ == State::Answering; }
    Status Report() const;

private:
    using Steady = std::chrono::steady_clock::time_point;

    void Settle();

    const HealthClock& clock_;
    const std::chrono::milliseconds quietSpan_;
    State state_ = State::Closed;
    bool open_ = false;
    bool silent_ = false;
    bool awaiting_ = false;
    bool answeredSinceOpen_ = false;
    int unanswered_ = 0;
    int repliesSinceTick_ = 0;
    int rateHz_ = 0;
    bool everAnswered_ = false;
    Steady openedAt_{};
    Steady lastRequest_{};
    Steady lastReply_{};
    Steady lastTick_{};
    LinkLoss loss_;
    uint32_t portnr_ = 0;
};

// The state as the window's status line says it, in either language:
// "Answering, 5 Hz", "Silent: 12 polls unanswered, last reply 13:50:41", ...
std::string LinkHealthText(const LinkHealth::Status& status, bool chinese);
