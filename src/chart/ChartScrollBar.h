#pragma once

#include <memory>

#include "ChartGeometry.h"

class CChartAxis;
class CChartScrollBar;

// The platform control behind an axis's scroll bar. It only shows what the
// bar decides and hands the user's requests back to it.
class ScrollBarView {
public:
    virtual ~ScrollBarView() = default;
    // A horizontal bar's height, a vertical bar's width.
    virtual int Thickness() const = 0;
    virtual void Bind(CChartScrollBar* bar) = 0;
    virtual void SetGeometry(const ChartRect& rect) = 0;
    // max is the last step; a page of steps fills the bar, so the position
    // shown never goes beyond max - page + 1.
    virtual void SetRange(int min, int max, int page, int position) = 0;
    virtual void SetShown(bool shown) = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

enum ScrollRequest {
    ScrollLineBack = 0,
    ScrollLineForward = 1,
    ScrollPageBack = 2,
    ScrollPageForward = 3,
    ScrollThumbPosition = 4,
    ScrollThumbTrack = 5,
    ScrollToStart = 6,
    ScrollToEnd = 7,
    ScrollEnd = 8,
};

// An axis's scroll bar: scrolls the axis's range over all of its data in steps
// of a tenth of the range shown. It sits inside the plotting area along the
// axis's edge, starts hidden and disabled, and shows only once enabled.
class CChartScrollBar {
public:
    static constexpr int kDefaultThickness = 17;
    static constexpr int kPage = 10;

    // creation: the rectangle the bar is aligned in, along the axis's edge.
    CChartScrollBar(CChartAxis& axis, std::unique_ptr<ScrollBarView> view,
                    const ChartRect& creation);
    ~CChartScrollBar();

    CChartScrollBar(const CChartScrollBar&) = delete;
    CChartScrollBar& operator=(const CChartScrollBar&) = delete;

    // Enabling shows the bar; an auto-hiding one then shows only while the
    // pointer is over it. A disabled bar is never shown.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }
    void SetAutoHide(bool autoHide);
    bool IsAutoHide() const { return autoHide_; }
    void SetShown(bool shown);
    bool IsShown() const { return shown_; }

    // Follows the axis's range over its data.
    void UpdateRange();
    // Lays the bar along the axis's edge of the plotting area.
    void Reposition(const ChartRect& plotting);
    // A user's request (ScrollRequest); thumb is the thumb's position for the thumb requests.
    void OnScroll(int request, int thumb = 0);

    // Steps run against the values on a vertical axis, and on an inverted horizontal one.
    bool IsReversed() const;
    ChartRect GetRect() const { return rect_; }
    bool Contains(ChartPoint point) const { return rect_.Contains(point); }
    int GetMin() const { return min_; }
    int GetMax() const { return max_; }
    int GetPage() const { return page_; }
    int GetPosition() const { return position_; }
    CChartAxis& GetAxis() const { return axis_; }
    void DropView();

private:
    void ShowRange();

    CChartAxis& axis_;
    std::unique_ptr<ScrollBarView> view_;
    bool enabled_ = false;
    bool autoHide_ = true;
    bool shown_ = false;
    int thickness_;
    ChartRect rect_;
    int min_ = 1;
    int max_ = 1;
    int page_ = 1;
    int position_ = 1;
};
