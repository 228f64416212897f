#pragma once

#include "ChartGeometry.h"

// Pixels x0 <= x < x1 of row y.
struct RowSpan {
    int y;
    int x0;
    int x1;
};

// Receives the pixels of lines, a row at a time or in batches.
class SpanSink {
public:
    virtual ~SpanSink() = default;
    virtual void Span(int y, int x0, int x1) = 0;
    virtual void Spans(const RowSpan* spans, int count) {
        for (int i = 0; i < count; ++i) Span(spans[i].y, spans[i].x0, spans[i].x1);
    }
};

// Lines wider than one pixel, as the pixels whose centre lies within half the
// width of the line: round ends and round joins. A polyline is then exactly the
// union of its segments, so runs along one row or column can be drawn as one
// segment and long noisy traces cost one segment per pixel column, not per point.
class WideLineRaster {
public:
    WideLineRaster(int width, const ChartRect& clip);

    void Segment(ChartPoint a, ChartPoint b, SpanSink& sink) const;
    // Fewer than two points draw nothing.
    void Polyline(const ChartPoint* points, int count, SpanSink& sink) const;

private:
    double radius_;
    ChartRect clip_;
};
