#pragma once

#include "ChartPoints.h"
#include "DrawSurface.h"

template <class PointType>
class CChartLabel;

// A text attached to one point of a serie, drawn over the plotting area.
template <>
class CChartLabel<SChartXYPoint> {
public:
    virtual ~CChartLabel() = default;
    virtual void Draw(DrawSurface& surface, unsigned pointIndex) = 0;
};
