#include "WindowStats.h"

#include <algorithm>

void WindowStats::CountReadoutTick(std::chrono::steady_clock::time_point now,
                                   std::chrono::milliseconds period) {
    if (readoutTicks > 0) {
        const auto late = now - lastReadoutTick_ - period;
        maxReadoutLateMs = std::max<long>(
            maxReadoutLateMs,
            static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(late).count()));
    }
    lastReadoutTick_ = now;
    ++readoutTicks;
}
