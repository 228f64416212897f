#pragma once

#include "ChartSerieBase.h"

// A serie filled from two arrays of values.
class CChartXYSerie : public CChartSerieBase<SChartXYPoint> {
public:
    explicit CChartXYSerie(CChartCore* parent);

    // Adds the points, lets both axes follow them in one redraw and extends
    // the back buffer by what is new.
    void AddPoints(const double* xValues, const double* yValues, unsigned count);
};
