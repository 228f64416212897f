#pragma once

#include <string>

#include "ChartColor.h"
#include "ChartGeometry.h"
#include "ChartMouseEvent.h"
#include "DrawSurface.h"

class CChartAxis;
class CChartCore;

// One data set of the chart, drawn against a vertical and a horizontal axis.
class CChartSerie {
public:
    explicit CChartSerie(CChartCore* parent);

    CChartSerie(const CChartSerie&) = delete;
    CChartSerie& operator=(const CChartSerie&) = delete;

    virtual unsigned GetPointsCount() const = 0;
    virtual ChartPoint PointToScreen(unsigned index) const = 0;
    virtual bool GetYRange(double& min, double& max) const = 0;
    virtual bool GetXRange(double& min, double& max) const = 0;
    virtual bool GetVisibleXRange(double& min, double& max) const = 0;
    virtual bool GetVisibleYRange(double& min, double& max) const = 0;
    // Leaves the axes' serie lists.
    virtual ~CChartSerie();
    // index: the point within reach, or kNoPointIndex on the line between points.
    virtual bool HitTest(ChartPoint point, unsigned& index) const = 0;
    virtual bool FindVisiblePoints(unsigned& first, unsigned& last) const = 0;
    virtual void DrawLegendSample(DrawSurface& surface, const ChartRect& rect) = 0;
    virtual void DrawNew(DrawSurface& surface) = 0;
    virtual void DrawAll(DrawSurface& surface) = 0;
    virtual void DrawLabels(DrawSurface& surface) = 0;
    // True when the serie took the event.
    virtual bool OnMouseEvent(MouseEvent event, ChartPoint point) = 0;

    unsigned GetId() const { return id_; }

protected:
    // The legend's sample of a line: a stroke across the middle of `rect`.
    void DrawLegendLine(DrawSurface& surface, const ChartRect& rect, const SurfacePen& pen) const;

public:
    CChartCore* GetParent() const { return parent_; }

    void SetName(const std::string& name);
    const std::string& GetName() const { return name_; }
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }
    void SetColor(Color color);
    Color GetColor() const { return color_; }
    void SetShadowVisible(bool visible);
    bool IsShadowVisible() const { return shadowVisible_; }
    void SetShadowColor(Color color);
    Color GetShadowColor() const { return shadowColor_; }
    void SetShadowDepth(int depth);
    int GetShadowDepth() const { return shadowDepth_; }
    void SetNotifyClicks(bool notify) { notifyClicks_ = notify; }
    void SetNotifyMoves(bool notify) { notifyMoves_ = notify; }
    bool NotifiesClicks() const { return notifyClicks_; }
    bool NotifiesMoves() const { return notifyMoves_; }

    // Set by the chart when the serie is added and at every layout.
    void SetAxes(CChartAxis* vertical, CChartAxis* horizontal);
    CChartAxis* GetVerticalAxis() const { return verticalAxis_; }
    CChartAxis* GetHorizontalAxis() const { return horizontalAxis_; }
    void SetPlottingRect(const ChartRect& rect) { plottingRect_ = rect; }
    ChartRect GetPlottingRect() const { return plottingRect_; }
    // The chart's default colour, given without a redraw.
    void AssignColor(Color color) { color_ = color; }

protected:
    void RefreshChart();

private:
    CChartCore* parent_;
    CChartAxis* verticalAxis_ = nullptr;
    CChartAxis* horizontalAxis_ = nullptr;
    std::string name_;
    bool visible_ = true;
    bool shadowVisible_ = false;
    Color color_ = MakeColor(0, 0, 0);
    Color shadowColor_ = MakeColor(150, 150, 150);
    int shadowDepth_ = 2;
    ChartRect plottingRect_;
    unsigned id_;
    bool notifyClicks_ = true;
    bool notifyMoves_ = false;
};
