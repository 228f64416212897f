#pragma once

#include <string>
#include <vector>

#include "ChartColor.h"
#include "ChartFont.h"
#include "ChartGeometry.h"
#include "DrawSurface.h"

class CChartCore;
class CChartSerie;

// The framed list of the named, visible series, each with a sample of its
// line. Docked, it takes its room from the chart's side; hidden, or with
// nothing to list, it leaves the layout alone.
class CChartLegend {
public:
    enum DockSide { DockRight = 0, DockLeft = 1, DockTop = 2, DockBottom = 3 };

    explicit CChartLegend(CChartCore* parent);
    virtual ~CChartLegend();

    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }
    void DockLegend(DockSide side);
    // Placed with its top-left corner at a point of the control; takes no room.
    void UndockLegend(int left, int top);
    bool IsDocked() const { return docked_; }
    DockSide GetDockSide() const { return dockSide_; }
    void SetFont(int tenths, const std::string& face);
    void SetTransparent(bool transparent);
    // Entries side by side rather than one under the other.
    void SetHorizontalMode(bool horizontal);
    void SetShadow(bool shadow, int depth = 3);
    void SetBackgroundColor(Color color);
    void SetShadowColor(Color color);

    ChartRect GetRect() const { return rect_; }
    // Places the legend and cuts its room out of the area on its docked side.
    void ReserveSpace(ChartRect& area, DrawSurface& surface);
    void Draw(DrawSurface& surface);

private:
    struct Entry {
        CChartSerie* serie;
        ChartSize text;
    };

    void RefreshChart();
    std::vector<Entry> Entries(DrawSurface& surface);
    ChartSize BoxSize(const std::vector<Entry>& entries) const;

    CChartCore* parent_;
    ChartRect rect_;
    CChartFont font_;
    bool docked_ = true;
    DockSide dockSide_ = DockRight;
    int freeLeft_ = 0;
    int freeTop_ = 0;
    bool visible_ = false;
    bool transparent_ = false;
    bool horizontal_ = false;
    bool shadow_ = true;
    int shadowDepth_ = 3;
    Color backgroundColor_ = MakeColor(255, 255, 255);
    Color shadowColor_ = MakeColor(128, 128, 128);
    int sampleWidth_ = 16;
    int sampleHeight_ = 16;
};
