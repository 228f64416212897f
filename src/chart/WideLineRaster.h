#pragma once

#include <cstddef>
#include <cstdint>

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

// Spans written straight into 32-bit pixels: the back buffer's fast path, with
// no call per row.
struct PixelSpanSink {
    std::uint32_t* bits;
    std::ptrdiff_t stride;  // in pixels
    std::uint32_t value;
    void Span(int y, int x0, int x1) const {
        std::uint32_t* row = bits + y * stride;
        for (int x = x0; x < x1; ++x) row[x] = value;
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
    void Polyline(const ChartPoint* points, int count, const PixelSpanSink& sink) const;

    // The same pixels into any sink with Span(y, x0, x1); instantiated for the two above.
    template <class Sink>
    void SegmentTo(ChartPoint a, ChartPoint b, Sink& sink) const;
    template <class Sink>
    void PolylineTo(const ChartPoint* points, int count, Sink& sink) const;

private:
    double radius_;
    ChartRect clip_;
};
