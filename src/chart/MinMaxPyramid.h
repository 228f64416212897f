#pragma once

#include <cstddef>
#include <vector>

// Minimum and maximum of any index range of a value column in about log(n)
// steps, so that a redraw costs the pixels, not the samples. NaN counts as
// no value. The column is not copied: it must outlive the pyramid.
class MinMaxPyramid {
public:
    // Samples per block of the lowest level; below it the samples are read directly.
    static constexpr size_t kBlock = 32;

    MinMaxPyramid() = default;
    MinMaxPyramid(const double* values, size_t count);

    // Over [first, last); false when the range holds no value.
    bool RangeMinMax(size_t first, size_t last, double& min, double& max) const;

    size_t Count() const { return count_; }
    // Bytes the levels take, for the memory figures.
    size_t LevelBytes() const;

private:
    struct Extremes {
        double min, max;
    };
    const double* values_ = nullptr;
    size_t count_ = 0;
    // levels_[0]: one entry per whole block; each next level pairs the one below.
    std::vector<std::vector<Extremes>> levels_;
};
