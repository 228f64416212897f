#pragma once

#include <cstdint>

// One chart point. The extra word is carried along untouched for the application.
struct SChartXYPoint {
    double X = 0.0;
    double Y = 0.0;
    std::uint32_t Extra = 0;
};

enum PointsOrdering { NoOrdering = 0, XOrdering = 1, YOrdering = 2 };

// The index reported when no particular point is meant.
constexpr unsigned kNoPointIndex = 0xFFFFFFFFu;
