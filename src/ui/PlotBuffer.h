#pragma once

#include <array>
#include <cstddef>

// The newest 1000 X and Y angles as a sliding window over 2000 slots: each
// sample is written once and moved at most once, so appending is constant time.
// It holds only what arrived: a fresh buffer is empty, not 1000 zeros.
class PlotBuffer {
public:
    static constexpr size_t kWindow = 1000;

    enum Channel { kX = 0, kY = 1 };

    // A channel's value may be NaN: that channel has no reading there.
    void Append(double x, double y);
    // The next sample starts a new segment: a slot without values (NaN in both
    // channels) goes before it, so that no trace joins across the gap.
    void Break() { breakPending_ = filled_ > 0; }
    // How many of the newest n samples there are (fewer until n have arrived).
    size_t Available(size_t n) const { return n < filled_ ? n : filled_; }
    // The newest Available(n) values of a channel, oldest first.
    const double* Newest(Channel channel, size_t n) const;
    size_t WindowStart() const { return start_; }

private:
    void Put(double x, double y);

    std::array<std::array<double, 2 * kWindow>, 2> storage_{};
    size_t start_ = 0;
    size_t filled_ = 0;
    bool breakPending_ = false;
};

// Samples shown for a time-span slider position: 50 per step of 5, at least 5.
unsigned PointCountForSlider(int position);
// The time-span slider runs from 0 to this, where it starts.
constexpr int kTimeSpanSteps = 100;
