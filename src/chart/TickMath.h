#pragma once

#include <string>

// Tick steps of 1, 2 or 5 times a power of ten, and their labels.

struct TickStep {
    double increment = 1.0;  // 0: no tick follows the first
    int decimals = 0;        // digits after the decimal point in labels
};

// Pixels per tick along a horizontal and a vertical axis.
constexpr int kHorizontalTickPixels = 30;
constexpr int kVerticalTickPixels = 20;

// The step for a range shown over spanPixels (end - start). An empty range
// gives increment 0; a span too short for one tick keeps the step as it was.
void ComputeAutoTickStep(double min, double max, int spanPixels, bool horizontal, TickStep& step);

// The next step of the 1, 2, 5 series: 1 -> 2 -> 5 -> 10 times a power of ten,
// with the decimals its labels need.
TickStep NextLargerTickStep(const TickStep& step);

// Free pixels wanted between neighbouring tick labels.
constexpr int kTickLabelGap = 4;

// Whether labels up to labelPixels long along the axis, centred on ticks one
// increment apart, would run into each other over spanPixels showing max - min.
// Where ticks lie farther apart than the span, at most one label shows.
bool TickLabelsCollide(double min, double max, int spanPixels, double increment, int labelPixels);

// The smallest multiple of the increment not below min (up to rounding).
double ComputeFirstTick(double min, double increment);

// Fixed-point text with a full stop, whatever the locale: 0.2, -1.4, 15, -0.0.
std::string FormatTickLabel(double value, int decimals);

// Bounds a walk over ticks: a stale increment on a huge range, or one lost in
// the rounding of large values, must not stall drawing.
constexpr int kMaxTicks = 2000;
