#include "ChartCursor.h"

#include "ChartAxis.h"

namespace {
// Shared by every kind of cursor; identifiers are never reused.
unsigned NextCursorId() {
    static unsigned next = 0;
    return next++;
}
}  // namespace

CChartCursor::CChartCursor(CChartCore* parent) : parent_(parent), id_(NextCursorId()) {}

void CChartCursor::SetColor(Color color) {
    color_ = color;
    if (parent_) parent_->Refresh();
}

void CChartCursor::AddListener(CChartCursorListener* listener) {
    if (listener) listeners_.push_back(listener);
}

void CChartCursor::NotifyMoved(double xValue, double yValue) {
    // By index: a listener may add listeners while it is told.
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
        listeners_[i]->CursorMoved(this, xValue, yValue);
    }
}

bool CChartCursor::FollowPixel(const CChartAxis* axis, int pixel, double& value) {
    if (!axis || axis->ValueToPixel(value) == pixel) return false;
    const double now = axis->PixelToValue(pixel);
    if (now == value) return false;
    value = now;
    return true;
}

void CChartCursor::DrawLine(DrawSurface& surface, bool vertical, int pixel) const {
    if (!parent_) return;
    const ChartRect plot = parent_->GetPlottingRect();
    const SurfacePen previous = surface.SelectPen({PenSolid, 1, color_, false});
    if (vertical) {
        surface.MoveTo(pixel, plot.top);
        surface.LineTo(pixel, plot.bottom);
    } else {
        surface.MoveTo(plot.left, pixel);
        surface.LineTo(plot.right, pixel);
    }
    surface.SelectPen(previous);
}

CChartCrossHairCursor::CChartCrossHairCursor(CChartCore* parent) : CChartCursor(parent) {}

void CChartCrossHairCursor::OnMouseMove(int x, int y) {
    placed_ = true;
    xPixel_ = x;
    yPixel_ = y;
    if (CChartCore* chart = GetParent()) {
        if (const CChartAxis* bottom = chart->GetAxis(CChartCore::Bottom)) {
            xValue_ = bottom->PixelToValue(x);
        }
        if (const CChartAxis* left = chart->GetAxis(CChartCore::Left)) {
            yValue_ = left->PixelToValue(y);
        }
    }
    NotifyMoved(xValue_, yValue_);
}

void CChartCrossHairCursor::FollowAxes() {
    CChartCore* chart = GetParent();
    if (!placed_ || !chart) return;
    const bool x = FollowPixel(chart->GetAxis(CChartCore::Bottom), xPixel_, xValue_);
    const bool y = FollowPixel(chart->GetAxis(CChartCore::Left), yPixel_, yValue_);
    if (x || y) NotifyMoved(xValue_, yValue_);
}

void CChartCrossHairCursor::Draw(DrawSurface& surface) {
    DrawLine(surface, true, xPixel_);
    DrawLine(surface, false, yPixel_);
}

CChartDragLineCursor::CChartDragLineCursor(CChartCore* parent, CChartCore::AxisPosition position)
    : CChartCursor(parent),
      axisPosition_(position),
      horizontal_(position == CChartCore::Bottom || position == CChartCore::Top) {}

CChartAxis* CChartDragLineCursor::Axis() const {
    return GetParent() ? GetParent()->GetAxis(axisPosition_) : nullptr;
}

void CChartDragLineCursor::SetPosition(double value) {
    const CChartAxis* axis = Axis();
    if (!axis) return;
    position_ = axis->ValueToPixel(value);
    value_ = value;
    placed_ = true;
}

void CChartDragLineCursor::OnButtonDown(int x, int y) {
    // Without its axis the line has no place to be grabbed at.
    if (!Axis()) return;
    const int c = horizontal_ ? x : y;
    if (position_ - kGrabReach <= c && c <= position_ + kGrabReach) dragging_ = true;
}

void CChartDragLineCursor::OnButtonUp(int, int) {
    dragging_ = false;
}

void CChartDragLineCursor::OnMouseMove(int x, int y) {
    if (!dragging_) return;
    position_ = horizontal_ ? x : y;
    const CChartAxis* axis = Axis();
    value_ = axis ? axis->PixelToValue(position_) : 0.0;
    placed_ = true;
    Report();
}

void CChartDragLineCursor::FollowAxes() {
    if (placed_ && FollowPixel(Axis(), position_, value_)) Report();
}

void CChartDragLineCursor::Report() {
    if (horizontal_) {
        NotifyMoved(value_, 0.0);
    } else {
        NotifyMoved(0.0, value_);
    }
}

void CChartDragLineCursor::Draw(DrawSurface& surface) {
    if (!Axis()) return;
    // A line on a horizontal axis stands upright.
    DrawLine(surface, horizontal_, position_);
}
