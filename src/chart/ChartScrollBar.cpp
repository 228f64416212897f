#include "ChartScrollBar.h"

#include <algorithm>

#include "ChartAxis.h"

CChartScrollBar::CChartScrollBar(CChartAxis& axis, std::unique_ptr<ScrollBarView> view,
                                 const ChartRect& creation)
    : axis_(axis),
      view_(std::move(view)),
      thickness_(view_ ? view_->Thickness() : kDefaultThickness) {
    const ChartRect& c = creation;
    const int t = thickness_;
    if (axis_.IsHorizontal()) {
        rect_ = axis_.IsSecondary() ? ChartRect{c.left, c.top, c.right, c.top + t}
                                    : ChartRect{c.left, c.bottom - t, c.right, c.bottom};
    } else {
        rect_ = axis_.IsSecondary() ? ChartRect{c.right - t, c.top, c.right, c.bottom}
                                    : ChartRect{c.left, c.top, c.left + t, c.bottom};
    }
    if (view_) {
        view_->Bind(this);
        view_->SetGeometry(rect_);
        view_->SetEnabled(false);
        view_->SetShown(false);
        ShowRange();
    }
}

CChartScrollBar::~CChartScrollBar() = default;

void CChartScrollBar::DropView() {
    view_.reset();
}

void CChartScrollBar::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (view_) view_->SetEnabled(enabled);
    SetShown(enabled);
}

void CChartScrollBar::SetAutoHide(bool autoHide) {
    autoHide_ = autoHide;
    if (!autoHide) SetShown(true);
}

void CChartScrollBar::SetShown(bool shown) {
    shown = shown && enabled_;
    if (shown == shown_) return;
    shown_ = shown;
    if (view_) view_->SetShown(shown);
}

bool CChartScrollBar::IsReversed() const {
    return axis_.IsHorizontal() ? axis_.IsInverted() : !axis_.IsInverted();
}

void CChartScrollBar::ShowRange() {
    if (view_) view_->SetRange(min_, max_, page_, position_);
}

void CChartScrollBar::UpdateRange() {
    int steps = 1, position = 1;
    axis_.ScrollSteps(steps, position);
    min_ = 0;
    max_ = steps - 1;
    page_ = kPage;
    position_ = IsReversed() ? steps - position - (kPage - 1) : position;
    ShowRange();
}

void CChartScrollBar::Reposition(const ChartRect& plotting) {
    ChartRect r = plotting;
    ++r.left;
    ++r.top;
    const int t = thickness_;
    if (axis_.IsHorizontal()) {
        if (axis_.IsSecondary()) {
            r.bottom = r.top + t;
        } else {
            r.top = r.bottom - t;
        }
    } else {
        if (axis_.IsSecondary()) {
            r.left = r.right - t;
        } else {
            r.right = r.left + t;
        }
    }
    if (r == rect_) return;
    rect_ = r;
    if (view_) view_->SetGeometry(rect_);
}

void CChartScrollBar::OnScroll(int request, int thumb) {
    const int p = position_;
    // Steps forward stop where the last full page begins; a page forward
    // from before there may still land on the last step.
    const int lastFull = max_ - (kPage - 1);
    int next = p;
    switch (request) {
        case ScrollLineBack:
            if (p > min_) next = p - 1;
            break;
        case ScrollLineForward:
            if (p < lastFull) next = p + 1;
            break;
        case ScrollPageBack:
            if (p > min_) next = std::max(min_, p - kPage);
            break;
        case ScrollPageForward:
            if (p < lastFull) next = std::min(max_, p + kPage);
            break;
        case ScrollThumbPosition:
        case ScrollThumbTrack:
            next = thumb;
            break;
        case ScrollToStart:
            next = 0;
            break;
        case ScrollToEnd:
            next = max_;
            break;
        case ScrollEnd:
            return;
        default:
            break;
    }
    position_ = next;
    ShowRange();
    axis_.ScrollTo(p, next, IsReversed());
}
