#include "MinMaxPyramid.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

MinMaxPyramid::MinMaxPyramid(const double* values, size_t count) : values_(values), count_(count) {
    std::vector<Extremes> level(count / kBlock);
    for (size_t b = 0; b < level.size(); ++b) {
        Extremes e{kInf, -kInf};
        for (size_t i = b * kBlock; i < (b + 1) * kBlock; ++i) {
            const double v = values[i];
            // NaN fails both comparisons and so is left out.
            if (v < e.min) e.min = v;
            if (v > e.max) e.max = v;
        }
        level[b] = e;
    }
    while (!level.empty()) {
        std::vector<Extremes> up((level.size() + 1) / 2);
        for (size_t j = 0; j < up.size(); ++j) {
            const Extremes& a = level[2 * j];
            const Extremes& b = 2 * j + 1 < level.size() ? level[2 * j + 1] : a;
            up[j] = {std::fmin(a.min, b.min), std::fmax(a.max, b.max)};
        }
        const bool top = level.size() == 1;
        levels_.push_back(std::move(level));
        if (top) break;
        level = std::move(up);
    }
}

bool MinMaxPyramid::RangeMinMax(size_t first, size_t last, double& min, double& max) const {
    if (last > count_) last = count_;
    double lo = kInf, hi = -kInf;
    auto take = [&](double a, double b) {
        if (a < lo) lo = a;
        if (b > hi) hi = b;
    };
    // Loose samples at both ends, up to whole blocks.
    while (first < last && first % kBlock != 0) {
        take(values_[first], values_[first]);
        ++first;
    }
    while (last > first && last % kBlock != 0) {
        --last;
        take(values_[last], values_[last]);
    }
    // Whole blocks: the classic bottom-up walk, pairing towards the top.
    size_t b = first / kBlock, e = last / kBlock;
    for (size_t level = 0; b < e && level < levels_.size(); ++level) {
        const std::vector<Extremes>& l = levels_[level];
        if (b & 1) {
            take(l[b].min, l[b].max);
            ++b;
        }
        if (e & 1) {
            --e;
            take(l[e].min, l[e].max);
        }
        b >>= 1;
        e >>= 1;
    }
    if (lo > hi) return false;
    min = lo;
    max = hi;
    return true;
}

size_t MinMaxPyramid::LevelBytes() const {
    size_t bytes = 0;
    for (const auto& l : levels_) bytes += l.size() * sizeof(Extremes);
    return bytes;
}
