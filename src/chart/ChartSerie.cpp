#include "ChartSerie.h"

#include "ChartAxis.h"
#include "ChartCore.h"

namespace {
// Process-wide, never reused: an identifier names one serie for good.
unsigned NextSerieId() {
    static unsigned next = 0;
    return next++;
}
}  // namespace

CChartSerie::CChartSerie(CChartCore* parent) : parent_(parent), id_(NextSerieId()) {}

CChartSerie::~CChartSerie() {
    if (verticalAxis_) verticalAxis_->UnregisterSerie(this);
    if (horizontalAxis_) horizontalAxis_->UnregisterSerie(this);
}

void CChartSerie::RefreshChart() {
    if (parent_) parent_->Refresh();
}

void CChartSerie::SetName(const std::string& name) {
    name_ = name;
    RefreshChart();
}

void CChartSerie::SetVisible(bool visible) {
    visible_ = visible;
    RefreshChart();
}

void CChartSerie::SetColor(Color color) {
    color_ = color;
    RefreshChart();
}

void CChartSerie::SetShadowVisible(bool visible) {
    shadowVisible_ = visible;
    RefreshChart();
}

void CChartSerie::SetShadowColor(Color color) {
    shadowColor_ = color;
    RefreshChart();
}

void CChartSerie::SetShadowDepth(int depth) {
    shadowDepth_ = depth;
    RefreshChart();
}

void CChartSerie::SetAxes(CChartAxis* vertical, CChartAxis* horizontal) {
    verticalAxis_ = vertical;
    horizontalAxis_ = horizontal;
}

void CChartSerie::DrawLegendLine(DrawSurface& surface, const ChartRect& rect,
                                 const SurfacePen& pen) const {
    if (GetName().empty()) return;
    const SurfacePen previous = surface.SelectPen(pen);
    const int y = (rect.top + rect.bottom) / 2;
    surface.MoveTo(rect.left, y);
    surface.LineTo(rect.right, y);
    surface.SelectPen(previous);
}
