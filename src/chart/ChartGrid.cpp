#include "ChartGrid.h"

#include "ChartCore.h"

namespace {
constexpr int kDash = 3;
constexpr int kDashPeriod = 6;
}  // namespace

void CChartGrid::SetColor(Color color) {
    color_ = color;
    if (parent_) parent_->Refresh();
}

void CChartGrid::SetVisible(bool visible) {
    visible_ = visible;
    if (parent_) parent_->Refresh();
}

void CChartGrid::Draw(DrawSurface& surface) {
    if (!visible_ || !parent_) return;
    const ChartRect plot = parent_->GetPlottingRect();
    surface.IntersectClip(plot);
    const SurfacePen previous = surface.SelectPen({PenSolid, 0, color_, false});
    for (const int p : tickPixels_) {
        if (horizontal_) {
            for (int y = plot.bottom; y > plot.top; y -= kDashPeriod) {
                surface.MoveTo(p, y);
                surface.LineTo(p, y - kDash);
            }
        } else {
            for (int x = plot.left; x < plot.right; x += kDashPeriod) {
                surface.MoveTo(x, p);
                surface.LineTo(x + kDash, p);
            }
        }
    }
    surface.SelectPen(previous);
    surface.ResetClip();
}
