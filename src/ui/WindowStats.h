#pragma once

#include <chrono>
#include <cstdint>

// What a long run of the window is judged by.
struct WindowStats {
    uint64_t framesCounted = 0;  // complete measurement frames, good or bad
    uint64_t measurements = 0;   // accepted ones, each a row while recording
    uint64_t readoutTicks = 0;
    long maxReadoutLateMs = 0;  // the once-a-second tick's worst lateness

    // How late the once-a-second tick comes is how responsive the window is.
    void CountReadoutTick(std::chrono::steady_clock::time_point now,
                          std::chrono::milliseconds period);

private:
    std::chrono::steady_clock::time_point lastReadoutTick_;
};
