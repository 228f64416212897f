#include "ChartLineSerie.h"

#include <cmath>
#include <cstdlib>

#include "BezierSpline.h"
#include "ChartCore.h"

namespace {
constexpr double kLineReach = 3.0;  // pixels beside a segment that still hit it
constexpr int kPointReach = 5;      // pixels around a point that name it
}  // namespace

CChartLineSerie::CChartLineSerie(CChartCore* parent) : CChartXYSerie(parent) {}

void CChartLineSerie::SetLineWidth(int width) {
    lineWidth_ = width;
    RefreshChart();
}

void CChartLineSerie::SetPenStyle(int style) {
    penStyle_ = style;
    RefreshChart();
}

void CChartLineSerie::SetSmooth(bool smooth) {
    smooth_ = smooth;
    RefreshChart();
}

SurfacePen CChartLineSerie::LinePen() const {
    return {penStyle_, lineWidth_, GetColor(), penStyle_ != PenSolid};
}

SurfacePen CChartLineSerie::ShadowPen() const {
    return {penStyle_, lineWidth_, GetShadowColor(), penStyle_ != PenSolid};
}

void CChartLineSerie::DrawAll(DrawSurface& surface) {
    unsigned first, last;
    if (!IsVisible() || !surface.IsUsable() || !HasAxes() || !FindDrawnPoints(first, last)) {
        return;
    }
    if (first == last) return;  // a single point is no line

    const SurfacePen linePen = LinePen(), shadowPen = ShadowPen();
    surface.SetBackgroundMode(BackgroundMode::Transparent);
    surface.IntersectClip(GetPlottingRect());
    const SurfacePen previous = surface.SelectPen(linePen);

    if (IsSmooth()) {
        DrawSmoothed(surface, linePen, shadowPen);
    } else {
        // Points that land on the pixel of the one before add nothing; a gap
        // ends one run of the line, and the next point starts another.
        pixels_.clear();
        shadow_.clear();
        const int depth = GetShadowDepth();
        for (unsigned i = first; i <= last; ++i) {
            if (IsGap(GetPoint(i))) {
                DrawRun(surface, linePen, shadowPen);
                continue;
            }
            const ChartPoint p = PointToScreen(i);
            if (!pixels_.empty() && p == pixels_.back()) continue;
            pixels_.push_back(p);
            if (IsShadowVisible()) shadow_.push_back({p.x + depth, p.y + depth});
        }
        lastDrawnIndex_ = last;
        DrawRun(surface, linePen, shadowPen);
    }

    surface.ResetClip();
    surface.SelectPen(previous);
}

void CChartLineSerie::DrawRun(DrawSurface& surface, const SurfacePen& linePen,
                              const SurfacePen& shadowPen) {
    if (!pixels_.empty()) {
        if (IsShadowVisible()) {
            surface.SelectPen(shadowPen);
            surface.Polyline(shadow_.data(), static_cast<int>(shadow_.size()));
            surface.SelectPen(linePen);
        }
        surface.Polyline(pixels_.data(), static_cast<int>(pixels_.size()));
    }
    pixels_.clear();
    shadow_.clear();
}

void CChartLineSerie::DrawSmoothed(DrawSurface& surface, const SurfacePen& linePen,
                                   const SurfacePen& shadowPen) {
    const unsigned count = GetPointsCount();
    lastDrawnIndex_ = count - 1;
    // One curve per run of points between gaps.
    std::vector<ChartPoint> knots;
    for (unsigned i = 0; i <= count; ++i) {
        if (i < count && !IsGap(GetPoint(i))) {
            knots.push_back(PointToScreen(i));
            continue;
        }
        DrawSmoothedRun(surface, knots, linePen, shadowPen);
        knots.clear();
    }
}

void CChartLineSerie::DrawSmoothedRun(DrawSurface& surface, const std::vector<ChartPoint>& knots,
                                      const SurfacePen& linePen, const SurfacePen& shadowPen) {
    if (knots.size() < 2) return;
    if (IsShadowVisible()) {
        std::vector<ChartPoint> shadowKnots = knots;
        for (ChartPoint& p : shadowKnots) {
            p.x += GetShadowDepth();
            p.y += GetShadowDepth();
        }
        const std::vector<ChartPoint> chain = SmoothBezierThrough(shadowKnots);
        surface.SelectPen(shadowPen);
        surface.PolyBezier(chain.data(), static_cast<int>(chain.size()));
        surface.SelectPen(linePen);
    }
    const std::vector<ChartPoint> chain = SmoothBezierThrough(knots);
    surface.PolyBezier(chain.data(), static_cast<int>(chain.size()));
}

void CChartLineSerie::DrawNew(DrawSurface& surface) {
    if (!IsVisible()) return;
    if (IsShadowVisible() || IsSmooth()) {
        DrawAll(surface);
        return;
    }
    if (!surface.IsUsable() || !HasAxes() || GetPointsCount() == 0) return;
    const SurfacePen previous = surface.SelectPen(LinePen());
    surface.SetBackgroundMode(BackgroundMode::Transparent);
    CChartCore* chart = GetParent();
    if (chart) surface.IntersectClip(chart->GetPlottingRect());
    for (; lastDrawnIndex_ < GetPointsCount() - 1; ++lastDrawnIndex_) {
        if (IsGap(GetPoint(lastDrawnIndex_)) || IsGap(GetPoint(lastDrawnIndex_ + 1))) continue;
        const ChartPoint from = PointToScreen(lastDrawnIndex_);
        const ChartPoint to = PointToScreen(lastDrawnIndex_ + 1);
        surface.MoveTo(from.x, from.y);
        surface.LineTo(to.x, to.y);
    }
    surface.ResetClip();
    surface.SelectPen(previous);
}

void CChartLineSerie::DrawLegendSample(DrawSurface& surface, const ChartRect& rect) {
    DrawLegendLine(surface, rect, {penStyle_, lineWidth_, GetColor(), true});
}

bool CChartLineSerie::HitTest(ChartPoint point, unsigned& index) const {
    index = kNoPointIndex;
    unsigned first, last;
    if (!IsVisible() || !HasAxes() || !FindDrawnPoints(first, last)) return false;
    const double mx = point.x, my = point.y;
    for (unsigned c = first; c < last; ++c) {
        if (IsGap(GetPoint(c)) || IsGap(GetPoint(c + 1))) continue;  // nothing drawn there
        const ChartPoint p1 = PointToScreen(c), p2 = PointToScreen(c + 1);
        const double dx = p2.x - p1.x, dy = p2.y - p1.y;
        const double len2 = dx * dx + dy * dy;
        // Both ends on one pixel: the neighbouring segments answer for it.
        if (len2 == 0) continue;
        // The pointer's projection onto the segment: 0 at p1, 1 at p2.
        const double u = ((p1.y - my) * (p1.y - p2.y) - (p1.x - mx) * dx) / len2;
        if (u < 0 || u > 1) continue;
        if (std::fabs(mx - (p1.x + u * dx)) > kLineReach ||
            std::fabs(my - (p1.y + u * dy)) > kLineReach) {
            continue;
        }
        if (std::abs(point.x - p1.x) <= kPointReach && std::abs(point.y - p1.y) <= kPointReach) {
            index = c;
        }
        if (std::abs(point.x - p2.x) <= kPointReach && std::abs(point.y - p2.y) <= kPointReach) {
            index = c + 1;
        }
        return true;
    }
    return false;
}
