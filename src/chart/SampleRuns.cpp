#include "SampleRuns.h"

#include <algorithm>
#include <cmath>

int64_t GapThresholdMs(const int64_t* times, size_t count) {
    if (count < 2) return kMinGapMs;
    // A spread of the steps is as good as all of them for the median, and
    // keeps a long recording from paying for a copy of every step.
    constexpr size_t kMaxSteps = 1 << 16;
    const size_t steps = count - 1;
    const size_t stride = steps > kMaxSteps ? steps / kMaxSteps : 1;
    std::vector<int64_t> sample;
    sample.reserve(std::min(steps, kMaxSteps + 1));
    for (size_t i = 1; i < count; i += stride) sample.push_back(times[i] - times[i - 1]);
    auto middle = sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 2);
    std::nth_element(sample.begin(), middle, sample.end());
    return std::max(kMinGapMs, kGapFactor * *middle);
}

std::vector<SampleRun> FindSampleRuns(const int64_t* times, const double* values, size_t count,
                                      int64_t gapMs) {
    std::vector<SampleRun> runs;
    size_t i = 0;
    while (i < count) {
        if (std::isnan(values[i])) {
            ++i;
            continue;
        }
        const size_t first = i++;
        while (i < count && !std::isnan(values[i]) && times[i] - times[i - 1] <= gapMs) ++i;
        runs.push_back({first, i});
    }
    return runs;
}
