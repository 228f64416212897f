#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where a trace of timed samples is drawn as one unbroken line.
//
// The gap rule: a step in time longer than five times the median step, and
// at least 2 s, is a gap (the recording stopped, the link was lost, the
// files do not join up). Sampling jitter stays well inside it; a stop of a
// few rows at any rate shows. A value never sent (NaN) breaks the line too:
// nothing is drawn that the recording does not hold.

constexpr int64_t kMinGapMs = 2000;
constexpr int64_t kGapFactor = 5;

// The longest step that still joins two samples; times are ascending.
int64_t GapThresholdMs(const int64_t* times, size_t count);

// A stretch [first, last) of samples with values and no gap inside.
struct SampleRun {
    size_t first;
    size_t last;
};

std::vector<SampleRun> FindSampleRuns(const int64_t* times, const double* values, size_t count,
                                      int64_t gapMs);
