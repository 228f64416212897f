#pragma once

#include "ChartGeometry.h"
#include "ChartMouseEvent.h"

class CChartAxis;

// Told which parts of the chart a mouse event fell on; one event may fall on
// several (an axis's strip and the title, say). Implemented by the application.
class ChartMouseListener {
public:
    virtual ~ChartMouseListener() = default;
    virtual void OnMouseEventTitle(MouseEvent, ChartPoint) {}
    virtual void OnMouseEventAxis(MouseEvent, ChartPoint, CChartAxis*) {}
    virtual void OnMouseEventLegend(MouseEvent, ChartPoint) {}
    virtual void OnMouseEventPlotArea(MouseEvent, ChartPoint) {}
};
