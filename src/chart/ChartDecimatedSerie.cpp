#include "ChartDecimatedSerie.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ChartAxis.h"
#include "ChartCore.h"
#include "ChartPoints.h"

namespace {
constexpr int kPointReach = 5;  // pixels around a sample that name it
}  // namespace

CChartDecimatedSerie::CChartDecimatedSerie(CChartCore* parent, TimedSamples samples)
    : CChartSerie(parent),
      samples_(std::move(samples)),
      pyramid_(samples_.value, samples_.count),
      gapMs_(GapThresholdMs(samples_.time, samples_.count)),
      runs_(FindSampleRuns(samples_.time, samples_.value, samples_.count, gapMs_)) {}

size_t CChartDecimatedSerie::OwnBytes() const {
    return pyramid_.LevelBytes() + runs_.capacity() * sizeof(SampleRun);
}

int CChartDecimatedSerie::XPixel(size_t index) const {
    return GetHorizontalAxis()->ValueToPixel(static_cast<double>(samples_.time[index]));
}

int CChartDecimatedSerie::YPixel(double value) const {
    return GetVerticalAxis()->ValueToPixel(value);
}

ChartPoint CChartDecimatedSerie::PointToScreen(unsigned index) const {
    if (!HasAxes() || index >= samples_.count) return {};
    return {XPixel(index), YPixel(samples_.value[index])};
}

bool CChartDecimatedSerie::GetXRange(double& min, double& max) const {
    if (!IsVisible() || samples_.count == 0) return false;
    min = static_cast<double>(samples_.time[0]);
    max = static_cast<double>(samples_.time[samples_.count - 1]);
    return true;
}

bool CChartDecimatedSerie::GetYRange(double& min, double& max) const {
    return IsVisible() && pyramid_.RangeMinMax(0, samples_.count, min, max);
}

bool CChartDecimatedSerie::GetVisibleXRange(double&, double&) const {
    // Ordered by time: the horizontal range is the axis's own.
    return false;
}

bool CChartDecimatedSerie::GetVisibleYRange(double& min, double& max) const {
    if (!IsVisible() || !HasAxes()) return false;
    size_t first, last;
    VisibleSpan(first, last);
    return pyramid_.RangeMinMax(first, last, min, max);
}

void CChartDecimatedSerie::VisibleSpan(size_t& first, size_t& last) const {
    const CChartAxis* axis = GetHorizontalAxis();
    const int64_t* begin = samples_.time;
    const int64_t* end = begin + samples_.count;
    const double lo = axis->GetMin(), hi = axis->GetMax();
    first = std::lower_bound(begin, end, lo,
                             [](int64_t t, double v) { return static_cast<double>(t) < v; }) -
            begin;
    last = std::upper_bound(begin, end, hi,
                            [](double v, int64_t t) { return v < static_cast<double>(t); }) -
           begin;
}

bool CChartDecimatedSerie::FindVisiblePoints(unsigned& first, unsigned& last) const {
    if (!HasAxes() || samples_.count == 0) return false;
    size_t f, l;
    VisibleSpan(f, l);
    if (f >= l) return false;
    first = static_cast<unsigned>(f);
    last = static_cast<unsigned>(l - 1);
    return true;
}

size_t CChartDecimatedSerie::EndOfColumn(size_t from, size_t last, int column) const {
    // Galloping: a sparse stretch costs one step per sample, a dense column
    // about the logarithm of its samples.
    size_t inside = from, step = 1;
    size_t probe = from + 1;
    while (probe < last && XPixel(probe) == column) {
        inside = probe;
        step *= 2;
        probe = from + step;
    }
    if (probe > last) probe = last;
    // The answer lies in (inside, probe].
    size_t lo = inside + 1, hi = probe;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (XPixel(mid) == column) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

void CChartDecimatedSerie::DrawRun(DrawSurface& surface, size_t first, size_t last) {
    pixels_.clear();
    auto add = [this](int x, int y) {
        if (pixels_.empty() || pixels_.back().x != x || pixels_.back().y != y) {
            pixels_.push_back({x, y});
        }
    };
    const double* v = samples_.value;
    for (size_t i = first; i < last;) {
        const int column = XPixel(i);
        const size_t end = EndOfColumn(i, last, column);
        add(column, YPixel(v[i]));
        if (end - i > 1) {
            // Entering value, the column's extremes, leaving value: the line
            // joins its neighbours where the data does and spans every peak.
            double min = v[i], max = v[i];
            pyramid_.RangeMinMax(i, end, min, max);
            add(column, YPixel(min));
            add(column, YPixel(max));
            add(column, YPixel(v[end - 1]));
        }
        i = end;
    }
    // A lone sample between gaps still shows, as a dot.
    if (pixels_.size() == 1) pixels_.push_back({pixels_[0].x + 1, pixels_[0].y});
    surface.Polyline(pixels_.data(), static_cast<int>(pixels_.size()));
}

void CChartDecimatedSerie::DrawAll(DrawSurface& surface) {
    if (!IsVisible() || !surface.IsUsable() || !HasAxes() || samples_.count == 0) return;
    size_t first, last;
    VisibleSpan(first, last);
    // One sample beyond each edge, so the line runs on to the border.
    if (first > 0) --first;
    if (last < samples_.count) ++last;

    surface.SetBackgroundMode(BackgroundMode::Transparent);
    surface.IntersectClip(GetPlottingRect());
    const SurfacePen previous = surface.SelectPen({PenSolid, 1, GetColor(), false});
    auto run = std::upper_bound(runs_.begin(), runs_.end(), first,
                                [](size_t i, const SampleRun& r) { return i < r.last; });
    for (; run != runs_.end() && run->first < last; ++run) {
        DrawRun(surface, std::max(run->first, first), std::min(run->last, last));
    }
    surface.ResetClip();
    surface.SelectPen(previous);
}

void CChartDecimatedSerie::DrawLegendSample(DrawSurface& surface, const ChartRect& rect) {
    DrawLegendLine(surface, rect, {PenSolid, 1, GetColor(), true});
}

bool CChartDecimatedSerie::HitTest(ChartPoint point, unsigned& index) const {
    index = kNoPointIndex;
    if (!IsVisible() || !HasAxes() || samples_.count == 0) return false;
    const CChartAxis* axis = GetHorizontalAxis();
    // The samples whose column lies within reach of the pointer's.
    const double a = axis->PixelToValue(point.x - kPointReach);
    const double b = axis->PixelToValue(point.x + kPointReach);
    const double lo = std::min(a, b), hi = std::max(a, b);
    const int64_t* begin = samples_.time;
    const int64_t* end = begin + samples_.count;
    size_t i = std::lower_bound(begin, end, lo,
                                [](int64_t t, double v) { return static_cast<double>(t) < v; }) -
               begin;
    const size_t stop =
        std::upper_bound(begin, end, hi,
                         [](double v, int64_t t) { return v < static_cast<double>(t); }) -
        begin;
    int best = kPointReach + 1;
    for (; i < stop; ++i) {
        if (std::isnan(samples_.value[i])) continue;
        const ChartPoint p = PointToScreen(static_cast<unsigned>(i));
        const int distance = std::max(std::abs(p.x - point.x), std::abs(p.y - point.y));
        if (distance < best) {
            best = distance;
            index = static_cast<unsigned>(i);
        }
    }
    return index != kNoPointIndex;
}

bool CChartDecimatedSerie::OnMouseEvent(MouseEvent event, ChartPoint point) {
    if (!listener_ || event != LButtonDown || !NotifiesClicks()) return false;
    unsigned index;
    if (!HitTest(point, index)) return false;
    listener_->SampleClicked(*this, index);
    return true;
}
