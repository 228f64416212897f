#pragma once

#include "ChartGeometry.h"
#include "WideLineRaster.h"

// One-pixel lines that paint their first point and leave out their last, in
// whichever direction they run, so that the segments of a polyline meet
// without overlap and a closed outline paints its corner once.
class ThinLineRaster {
public:
    explicit ThinLineRaster(const ChartRect& clip) : clip_(clip) {}

    void Segment(ChartPoint from, ChartPoint to, SpanSink& sink) const;
    // Fewer than two points draw nothing.
    void Polyline(const ChartPoint* points, int count, SpanSink& sink) const;

private:
    ChartRect clip_;
};
