#include "TickMath.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

void ComputeAutoTickStep(double min, double max, int spanPixels, bool horizontal, TickStep& step) {
    if (max == min) {
        step.increment = 0;
        return;
    }
    const int count =
        std::abs(spanPixels / (horizontal ? kHorizontalTickPixels : kVerticalTickPixels));
    if (count == 0) return;
    const double raw = (max - min) / count;
    if (!std::isfinite(raw) || raw <= 0) return;

    const int z = static_cast<int>(std::floor(std::log10(raw)));
    const double m = std::pow(10.0, z);
    const int decimals = z < 0 ? -z : 0;
    for (const double candidate : {m, 2 * m, 5 * m}) {
        if (candidate >= raw) {
            step = {candidate, decimals};
            return;
        }
    }
    step = {10 * m, decimals > 0 ? decimals - 1 : 0};
}

TickStep NextLargerTickStep(const TickStep& step) {
    if (!(step.increment > 0) || !std::isfinite(step.increment)) return step;
    // The mantissa of a 1, 2 or 5 step, read back through the rounding of its power.
    const int z = static_cast<int>(std::floor(std::log10(step.increment) + 1e-9));
    const double m = std::pow(10.0, z);
    const double mantissa = step.increment / m;
    if (mantissa < 1.5) return {2 * m, step.decimals};
    if (mantissa < 3.5) return {5 * m, step.decimals};
    return {10 * m, step.decimals > 0 ? step.decimals - 1 : 0};
}

bool TickLabelsCollide(double min, double max, int spanPixels, double increment, int labelPixels) {
    const double range = max - min;
    const int span = std::abs(spanPixels);
    if (!(range > 0) || !(increment > 0) || span == 0) return false;
    const double apart = increment / range * span;
    if (apart > span) return false;
    // Labels sit at whole pixels, so only whole pixels between ticks count.
    return std::floor(apart) < labelPixels + kTickLabelGap;
}

double ComputeFirstTick(double min, double increment) {
    if (increment == 0) return min;
    if (min == 0) return 0;
    double first = std::trunc(min / increment) * increment;
    // A few steps at most; the bound only matters where the increment is lost
    // in the rounding of min.
    constexpr int kMaxSteps = 8;
    if (min > 0) {
        for (int i = 0; i < kMaxSteps && min > first; ++i) first += increment;
    } else {
        for (int i = 0; i < kMaxSteps && first > min; ++i) first -= increment;
        if (first != min) first += increment;
    }
    return first;
}

std::string FormatTickLabel(double value, int decimals) {
    // The sign is written separately: a tiny negative value rounds to "-0.0",
    // which is what the tick walk from a negative min shows.
    const bool negative = std::signbit(value);
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, negative ? -value : value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "";
    return (negative ? "-" : "") + std::string(text, result.ptr);
}
