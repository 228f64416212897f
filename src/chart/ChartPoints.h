#pragma once

#include <cmath>
#include <cstdint>

// One chart point. The extra word is carried along untouched for the application.
struct SChartXYPoint {
    double X = 0.0;
    double Y = 0.0;
    std::uint32_t Extra = 0;
};

// A point without a value (a coordinate that is NaN) marks a gap: a line
// stops before it and starts again after it, and it counts in no range.
// Its X should still keep the serie's ordering.
inline bool IsGap(const SChartXYPoint& point) {
    return std::isnan(point.X) || std::isnan(point.Y);
}

enum PointsOrdering { NoOrdering = 0, XOrdering = 1, YOrdering = 2 };

// The index reported when no particular point is meant.
constexpr unsigned kNoPointIndex = 0xFFFFFFFFu;
