#include "ThinLineRaster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// The minor-axis offset after t of n major steps, rounded to the nearest pixel
// with halves away from the start, so mirrored lines are mirror images.
std::int64_t MinorOffset(std::int64_t t, std::int64_t minor, std::int64_t n) {
    const std::int64_t magnitude = (2 * t * std::llabs(minor) + n) / (2 * n);
    return minor < 0 ? -magnitude : magnitude;
}

}  // namespace

void ThinLineRaster::Segment(ChartPoint from, ChartPoint to, SpanSink& sink) const {
    if (clip_.IsEmpty()) return;
    const std::int64_t dx = std::int64_t(to.x) - from.x, dy = std::int64_t(to.y) - from.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    const std::int64_t n = std::llabs(major);
    if (n == 0) return;
    const int step = major > 0 ? 1 : -1;
    const std::int64_t start = xMajor ? from.x : from.y;
    const std::int64_t minorStart = xMajor ? from.y : from.x;

    // Steps t in [0, n) whose major coordinate lies inside the clip.
    const std::int64_t lo = xMajor ? clip_.left : clip_.top;
    const std::int64_t hi = (xMajor ? clip_.right : clip_.bottom) - 1;
    std::int64_t tFirst = step > 0 ? lo - start : start - hi;
    std::int64_t tLast = step > 0 ? hi - start : start - lo;
    tFirst = std::max<std::int64_t>(tFirst, 0);
    tLast = std::min<std::int64_t>(tLast, n - 1);

    if (xMajor) {
        // Runs along one row go out as one span.
        std::int64_t runRow = 0, runFrom = 0, runTo = 0;
        bool run = false;
        auto flush = [&] {
            if (run) sink.Span(int(runRow), int(runFrom), int(runTo + 1));
            run = false;
        };
        for (std::int64_t t = tFirst; t <= tLast; ++t) {
            const std::int64_t x = start + step * t;
            const std::int64_t y = minorStart + MinorOffset(t, minor, n);
            if (y < clip_.top || y >= clip_.bottom) {
                flush();
                continue;
            }
            if (run && y == runRow) {
                runFrom = std::min(runFrom, x);
                runTo = std::max(runTo, x);
            } else {
                flush();
                run = true;
                runRow = y;
                runFrom = runTo = x;
            }
        }
        flush();
    } else {
        for (std::int64_t t = tFirst; t <= tLast; ++t) {
            const std::int64_t y = start + step * t;
            const std::int64_t x = minorStart + MinorOffset(t, minor, n);
            if (x < clip_.left || x >= clip_.right) continue;
            sink.Span(int(y), int(x), int(x + 1));
        }
    }
}

void ThinLineRaster::Polyline(const ChartPoint* points, int count, SpanSink& sink) const {
    for (int i = 0; i + 1 < count; ++i) Segment(points[i], points[i + 1], sink);
}
