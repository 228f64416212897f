#pragma once

#include <vector>

#include "ChartXYSerie.h"

// Draws its points as a line, optionally smoothed and shadowed, and finds the
// segment under the pointer. A gap (IsGap) breaks the line.
class CChartLineSerie : public CChartXYSerie {
public:
    explicit CChartLineSerie(CChartCore* parent);

    void SetLineWidth(int width);
    int GetLineWidth() const { return lineWidth_; }
    // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot.
    void SetPenStyle(int style);
    int GetPenStyle() const { return penStyle_; }
    void SetSmooth(bool smooth);
    bool IsSmooth() const { return smooth_; }

    bool HitTest(ChartPoint point, unsigned& index) const override;
    void DrawLegendSample(DrawSurface& surface, const ChartRect& rect) override;
    void DrawNew(DrawSurface& surface) override;
    void DrawAll(DrawSurface& surface) override;

private:
    SurfacePen LinePen() const;
    SurfacePen ShadowPen() const;
    // Draws the points gathered in pixels_ (and shadow_) as one line and empties them.
    void DrawRun(DrawSurface& surface, const SurfacePen& linePen, const SurfacePen& shadowPen);
    void DrawSmoothed(DrawSurface& surface, const SurfacePen& linePen, const SurfacePen& shadowPen);
    void DrawSmoothedRun(DrawSurface& surface, const std::vector<ChartPoint>& knots,
                         const SurfacePen& linePen, const SurfacePen& shadowPen);

    int lineWidth_ = 1;
    int penStyle_ = PenSolid;
    bool smooth_ = false;
    // Reused between draws: a redraw of many points allocates nothing.
    std::vector<ChartPoint> pixels_;
    std::vector<ChartPoint> shadow_;
};
