#pragma once

#include <vector>

#include "ChartGeometry.h"

// The cubic Bezier chain through the knots with continuous first and second
// derivatives (natural ends): 3n + 1 points for n + 1 knots, knots first and
// last of each segment. Fewer than two knots give none.
std::vector<ChartPoint> SmoothBezierThrough(const std::vector<ChartPoint>& knots);
