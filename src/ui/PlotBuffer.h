#pragma once

#include <array>
#include <cstddef>

// The newest 1000 X and Y angles as a sliding window over 2000 slots: each
// sample is written once and moved at most once, so appending is constant time.
class PlotBuffer {
public:
    static constexpr size_t kWindow = 1000;

    enum Channel { kX = 0, kY = 1 };

    void Append(double x, double y);
    // The newest n values of a channel, oldest first (n at most kWindow).
    const double* Newest(Channel channel, size_t n) const;
    size_t WindowStart() const { return start_; }

private:
    std::array<std::array<double, 2 * kWindow>, 2> storage_{};
    size_t start_ = 0;
};

// Samples shown for a time-span slider position: 50 per step of 5, at least 5.
unsigned PointCountForSlider(int position);
// The time-span slider runs from 0 to this, where it starts.
constexpr int kTimeSpanSteps = 100;
