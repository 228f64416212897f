#pragma once

#include "ChartGeometry.h"
#include "ChartMouseEvent.h"
#include "ChartPoints.h"

template <class PointType>
class CChartSerieBase;
template <class PointType>
class CChartSeriesMouseListener;

// Told about mouse events that hit a serie's line; implemented by the application.
template <>
class CChartSeriesMouseListener<SChartXYPoint> {
public:
    virtual ~CChartSeriesMouseListener() = default;
    // pointIndex is kNoPointIndex when the pointer is on the line between points.
    virtual void SeriesMouseEvent(MouseEvent, ChartPoint, CChartSerieBase<SChartXYPoint>*,
                                  unsigned /*pointIndex*/) {}
};
