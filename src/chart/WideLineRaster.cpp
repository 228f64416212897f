#include "WideLineRaster.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// floor and ceil for values already bounded to the int range; without SSE4.1
// the library calls cost more than the rest of a row.
int FloorToInt(double v) {
    const int i = static_cast<int>(v);
    return i - (i > v);
}
int CeilToInt(double v) {
    const int i = static_cast<int>(v);
    return i + (i < v);
}

// Collects rows for a virtual sink: a call per row would cost more than the row.
class BatchedSpans {
public:
    explicit BatchedSpans(SpanSink& sink) : sink_(sink) {}
    ~BatchedSpans() { Flush(); }
    BatchedSpans(const BatchedSpans&) = delete;
    BatchedSpans& operator=(const BatchedSpans&) = delete;
    void Span(int y, int x0, int x1) {
        batch_[count_++] = {y, x0, x1};
        if (count_ == kBatch) Flush();
    }
    void Flush() {
        if (count_ > 0) sink_.Spans(batch_, count_);
        count_ = 0;
    }

private:
    static constexpr int kBatch = 256;
    SpanSink& sink_;
    RowSpan batch_[kBatch];
    int count_ = 0;
};

// Rows of a band whose left edge walks by `step` (32.32 fixed point) and whose
// every row holds one to three pixels inside the clip.
constexpr int kFractionBits = 32;
constexpr std::int64_t kFraction = (std::int64_t(1) << kFractionBits) - 1;

template <class Sink>
void NarrowRows(Sink& sink, int first, int last, std::int64_t leftEdge, std::int64_t step,
                std::int64_t width) {
    for (int row = first; row <= last; ++row, leftEdge += step) {
        sink.Span(row, int((leftEdge + kFraction) >> kFractionBits),
                  int((leftEdge + width) >> kFractionBits) + 1);
    }
}

void NarrowRows(const PixelSpanSink& sink, int first, int last, std::int64_t leftEdge,
                std::int64_t step, std::int64_t width) {
    if (width < 2 * (kFraction + 1)) {
        NarrowRows<const PixelSpanSink>(sink, first, last, leftEdge, step, width);
        return;
    }
    // Every row holds two or three pixels (all the steep rows of a 2-pixel
    // pen): one double-pixel store at the left and one pixel at the right, with
    // no loop whose mispredicted exit would cost more than the stores. The
    // sink's fields are held in locals, or the stores could alias them.
    const std::uint32_t value = sink.value;
    const std::ptrdiff_t stride = sink.stride;
    const std::uint64_t pair = value | std::uint64_t(value) << 32;
    std::uint32_t* rowStart = sink.bits + first * stride;
    for (int row = first; row <= last; ++row, leftEdge += step, rowStart += stride) {
        const int left = int((leftEdge + kFraction) >> kFractionBits);
        const int right = int((leftEdge + width) >> kFractionBits);
        std::memcpy(rowStart + left, &pair, sizeof pair);
        rowStart[right] = value;
    }
}

}  // namespace

WideLineRaster::WideLineRaster(int width, const ChartRect& clip)
    : radius_(0.5 * (width < 1 ? 1 : width)), clip_(clip) {}

void WideLineRaster::Segment(ChartPoint a, ChartPoint b, SpanSink& sink) const {
    BatchedSpans batched(sink);
    SegmentTo(a, b, batched);
}

void WideLineRaster::Polyline(const ChartPoint* points, int count, SpanSink& sink) const {
    BatchedSpans batched(sink);
    PolylineTo(points, count, batched);
}

void WideLineRaster::Polyline(const ChartPoint* points, int count,
                              const PixelSpanSink& sink) const {
    PolylineTo(points, count, sink);
}

template <class Sink>
void WideLineRaster::SegmentTo(ChartPoint a, ChartPoint b, Sink& sink) const {
    const double r = radius_;
    const double ax = a.x, ay = a.y, bx = b.x, by = b.y;
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    const double rLen = r * std::sqrt(len2);

    // Pixel rows whose centre the line reaches, within the clip.
    int firstRow = static_cast<int>(std::ceil(std::min(ay, by) - r - 0.5));
    int lastRow = static_cast<int>(std::floor(std::max(ay, by) + r - 0.5));
    firstRow = std::max(firstRow, clip_.top);
    lastRow = std::min(lastRow, clip_.bottom - 1);

    // The body between the two round ends, per row linear in the row centre:
    // across the line |centre offset| <= r, along it 0 <= projection <= length.
    const double acrossSlope = dy != 0 ? dx / dy : 0;
    const double acrossHalf = dy != 0 ? rLen / std::fabs(dy) : 0;
    const double alongSlope = dx != 0 ? -dy / dx : 0;
    const double alongFar = dx != 0 ? len2 / dx : 0;
    const double inf = std::numeric_limits<double>::infinity();

    // Bounds for the columns, a little outside the clip, so that conversions stay in range.
    const double leftBound = clip_.left - 1.0, rightBound = clip_.right + 1.0;
    const double r2 = r * r;
    auto emit = [&](int row, double lo, double hi) {
        // Columns whose centre lies in [lo, hi].
        const int left = std::max(CeilToInt(std::max(lo - 0.5, leftBound)), clip_.left);
        const int right = std::min(FloorToInt(std::min(hi - 0.5, rightBound)) + 1, clip_.right);
        if (left < right) sink.Span(row, left, right);
    };

    auto anyRow = [&](int row) {
        const double yc = row + 0.5;
        const double t = yc - ay;
        double lo = inf, hi = -inf;

        const double tb = yc - by;
        if (std::fabs(t) <= r) {
            const double h = std::sqrt(r2 - t * t);
            lo = std::min(lo, ax - h);
            hi = std::max(hi, ax + h);
        }
        if (std::fabs(tb) <= r) {
            const double h = std::sqrt(r2 - tb * tb);
            lo = std::min(lo, bx - h);
            hi = std::max(hi, bx + h);
        }

        if (len2 > 0) {
            double bodyLo = -inf, bodyHi = inf;
            if (dy != 0) {
                const double centre = ax + t * acrossSlope;
                bodyLo = centre - acrossHalf;
                bodyHi = centre + acrossHalf;
            } else if (std::fabs(dx * t) > rLen) {
                bodyLo = inf;
            }
            if (dx != 0) {
                const double v1 = ax + t * alongSlope;
                const double v2 = v1 + alongFar;
                bodyLo = std::max(bodyLo, std::min(v1, v2));
                bodyHi = std::min(bodyHi, std::max(v1, v2));
            } else {
                const double along = dy * t;
                if (along < 0 || along > len2) bodyLo = inf;
            }
            if (bodyLo <= bodyHi) {
                lo = std::min(lo, bodyLo);
                hi = std::max(hi, bodyHi);
            }
        }
        if (lo <= hi) emit(row, lo, hi);
    };

    // Away from the ends the row meets the full band around the line, which
    // holds both round ends too: one centre and one half width per row. Tall
    // segments spend nearly all their rows here. The range is kept a row short
    // of its exact bounds; rows outside it take the full test.
    int middleFirst = lastRow + 1, middleLast = lastRow;
    if (dy != 0) {
        const double len = std::sqrt(len2);
        const double e = r * std::fabs(dx) / std::fabs(dy);  // along-shift across the band
        if (len - e > e) {
            const double t1 = e * dy / len, t2 = (len - e) * dy / len;
            const double yLo = ay + std::min(t1, t2), yHi = ay + std::max(t1, t2);
            // Bounded before converting, like everything that may lie far away.
            const double first = std::ceil(std::max(yLo - 0.5, firstRow - 1.0)) + 1;
            const double last = std::floor(std::min(yHi - 0.5, lastRow + 1.0)) - 1;
            if (first <= last) {
                middleFirst = std::max(static_cast<int>(first), firstRow);
                middleLast = std::min(static_cast<int>(last), lastRow);
            }
        }
    }
    if (middleFirst > middleLast) {
        for (int row = firstRow; row <= lastRow; ++row) anyRow(row);
    } else {
        for (int row = firstRow; row < middleFirst; ++row) anyRow(row);
        // Both edges move by the same step per row: walked in 32.32 fixed
        // point, exact to far below a pixel over any span the clip allows. Far
        // off-screen lines that could overflow it take the plain computation.
        constexpr double kOne = 4294967296.0;
        constexpr double kFixedLimit = 1 << 20;
        const double firstLeft = ax + (middleFirst + 0.5 - ay) * acrossSlope - acrossHalf - 0.5;
        if (std::fabs(acrossSlope) < kFixedLimit && std::fabs(firstLeft) < kFixedLimit * 256 &&
            acrossHalf < kFixedLimit &&
            std::fabs(acrossSlope) * (middleLast - middleFirst) < kFixedLimit * 256) {
            std::int64_t leftEdge = std::llround(firstLeft * kOne);
            const std::int64_t width = std::llround(2 * acrossHalf * kOne);
            const std::int64_t step = std::llround(acrossSlope * kOne);
            constexpr std::int64_t kUnit = kFraction + 1;
            // Both edges are linear in the row, so the end rows bound them all.
            const std::int64_t lastEdge = leftEdge + step * (middleLast - middleFirst);
            const bool narrowInside = width >= kUnit && width < 3 * kUnit &&
                                      std::min(leftEdge, lastEdge) > (clip_.left - 1) * kUnit &&
                                      std::max(leftEdge, lastEdge) + width < clip_.right * kUnit;
            if (narrowInside) {
                NarrowRows(sink, middleFirst, middleLast, leftEdge, step, width);
            } else {
                for (int row = middleFirst; row <= middleLast; ++row, leftEdge += step) {
                    const std::int64_t first = (leftEdge + kFraction) >> 32;
                    const std::int64_t last = (leftEdge + width) >> 32;
                    const int left = int(std::max<std::int64_t>(first, clip_.left));
                    const int right = int(std::min<std::int64_t>(last + 1, clip_.right));
                    if (left < right) sink.Span(row, left, right);
                }
            }
        } else {
            for (int row = middleFirst; row <= middleLast; ++row) {
                const double centre = ax + (row + 0.5 - ay) * acrossSlope;
                emit(row, centre - acrossHalf, centre + acrossHalf);
            }
        }
        for (int row = middleLast + 1; row <= lastRow; ++row) anyRow(row);
    }
}

template <class Sink>
void WideLineRaster::PolylineTo(const ChartPoint* points, int count, Sink& sink) const {
    if (clip_.IsEmpty()) return;
    int i = 0;
    while (i < count - 1) {
        const ChartPoint start = points[i];
        int j = i + 1;
        if (points[j].x == start.x) {
            // A run within one column is covered by one segment from its lowest
            // to its highest point.
            int lo = std::min(start.y, points[j].y), hi = std::max(start.y, points[j].y);
            while (j + 1 < count && points[j + 1].x == start.x) {
                ++j;
                lo = std::min(lo, points[j].y);
                hi = std::max(hi, points[j].y);
            }
            SegmentTo({start.x, lo}, {start.x, hi}, sink);
        } else if (points[j].y == start.y) {
            int lo = std::min(start.x, points[j].x), hi = std::max(start.x, points[j].x);
            while (j + 1 < count && points[j + 1].y == start.y) {
                ++j;
                lo = std::min(lo, points[j].x);
                hi = std::max(hi, points[j].x);
            }
            SegmentTo({lo, start.y}, {hi, start.y}, sink);
        } else {
            SegmentTo(start, points[j], sink);
        }
        i = j;
    }
}
