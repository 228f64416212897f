#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ChartColor.h"
#include "ChartGeometry.h"
#include "DrawSurface.h"
#include "ScaleMap.h"

class CChartAxisLabel;
class CChartCore;
class CChartGrid;
class CChartScrollBar;
class CChartSerie;

// One edge of the plotting area: maps values to pixels and back, chooses its
// range from its series, reserves its room in the layout and draws its line,
// ticks, labels, title and grid.
class CChartAxis {
public:
    enum AxisAutoMode { Manual = 0, AllPoints = 1, VisiblePoints = 2 };

    CChartAxis();
    virtual ~CChartAxis();

    CChartAxis(const CChartAxis&) = delete;
    CChartAxis& operator=(const CChartAxis&) = delete;

    virtual void SetDiscrete(bool discrete);
    virtual double PixelToValue(int pixel) const;
    virtual double FirstTickValue() const = 0;
    virtual bool NextTickValue(double current, double& next) const = 0;
    virtual int TickPixel(double value) const = 0;
    virtual int ValueToPixelDiscrete(double value) const = 0;
    virtual int ValueToPixelStandard(double value) const;
    virtual std::string TickLabel(double value) const = 0;
    virtual void ComputeTickIncrement() = 0;
    virtual void ComputeFirstTick() = 0;
    // The largest tick label, once the ticks are spaced so that their labels
    // do not run into each other; called by the layout before the axis takes
    // its room and before it draws.
    virtual ChartSize SpaceTickLabels(DrawSurface& surface) {
        return LargestTickLabelSize(surface);
    }
    // The data of the axis's series in steps of a tenth of the range shown,
    // and the step the range starts at; 1 and 1 while either range is empty.
    virtual void ScrollSteps(int& steps, int& position) const;
    // Moves the range by whole steps, downwards when reversed.
    virtual void ScrollTo(int previous, int next, bool reversed);
    virtual void Pan(int fromPixel, int toPixel);
    virtual void SetVisibleRange(double min, double max);

    // The middle of the span while the range is empty.
    int ValueToPixel(double value) const;
    bool IsValueOnAxis(double value) const;

    // Set-up.
    void SetAutoMode(AxisAutoMode mode);
    AxisAutoMode GetAutoMode() const { return autoMode_; }
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }
    void SetAxisColor(Color color);
    void SetTextColor(Color color);
    void SetInverted(bool inverted);
    void SetAutomaticTicks(bool automatic) { automaticTicks_ = automatic; }
    bool IsAutomaticTicks() const { return automaticTicks_; }
    // A fixed reserved space in pixels; a negative value returns to the computed one.
    void SetMargin(int margin);
    void SetPanZoomAllowed(bool allowed) { panZoomAllowed_ = allowed; }
    void SetZoomLimit(double limit) { zoomLimit_ = limit; }
    void SetTickFont(int tenths, const std::string& face);
    CChartGrid* GetGrid() const { return grid_.get(); }
    CChartAxisLabel* GetLabel() const { return label_.get(); }

    double GetMin() const { return scale_.Min(); }
    double GetMax() const { return scale_.Max(); }
    double GetUndoMin() const { return undoMin_; }
    double GetUndoMax() const { return undoMax_; }
    bool IsHorizontal() const { return scale_.IsHorizontal(); }
    bool IsInverted() const { return scale_.IsInverted(); }
    bool IsSecondary() const { return secondary_; }
    bool IsDiscrete() const { return discrete_; }
    int GetStartPixel() const { return scale_.Start(); }
    int GetEndPixel() const { return scale_.End(); }
    ChartRect GetOuterRect() const { return outerRect_; }
    double GetZoomLimit() const { return zoomLimit_; }

    // Attachment to a chart (AttachAxis).
    void SetParent(CChartCore* parent);
    void SetHorizontal(bool horizontal);
    void SetSecondary(bool secondary) { secondary_ = secondary; }
    CChartCore* GetParent() const { return parent_; }
    void SetScrollBar(std::unique_ptr<CChartScrollBar> scrollBar);
    CChartScrollBar* GetScrollBar() const { return scrollBar_.get(); }

    // Layout and drawing (the chart's pipeline).
    void SetPixelSpan(int start, int end) { scale_.SetSpan(start, end); }
    void SetOuterRect(const ChartRect& rect) { outerRect_ = rect; }
    int ReserveSpace(const ChartRect& area, ChartRect& plotting, DrawSurface& surface);
    void Draw(DrawSurface& surface);
    void ResetZoom();

    // The series that use this axis, in insertion order, no duplicates.
    void RegisterSerie(CChartSerie* serie);
    void UnregisterSerie(CChartSerie* serie);
    const std::vector<CChartSerie*>& GetSeries() const { return series_; }
    void RefreshAutoRange();

    // The tick values a draw walks: min alone while the range is empty.
    std::vector<double> TickValues() const;

protected:
    const ScaleMap& Scale() const { return scale_; }
    void RefreshChart();
    ChartSize LargestTickLabelSize(DrawSurface& surface);

private:
    void DrawTick(DrawSurface& surface, double value, ChartSize labelSize);
    void PlaceLabel(ChartSize labelSize, int largestTickHeight);
    void UpdateScrollBar();
    // The series' ranges along this axis, of all their points or only of those
    // visible along the other axis.
    bool CombinedSerieRange(bool visibleOnly, double& min, double& max) const;

    CChartCore* parent_ = nullptr;
    ScaleMap scale_;
    AxisAutoMode autoMode_ = Manual;
    bool visible_ = true;
    bool secondary_ = false;
    double undoMin_ = 0.0;
    double undoMax_ = 0.0;
    bool automaticTicks_ = true;
    bool discrete_ = false;
    ChartRect outerRect_;
    int tickFontSize_ = 80;
    std::string tickFontFace_ = "Microsoft Sans Serif";
    Color textColor_ = MakeColor(0, 0, 0);
    Color axisColor_ = MakeColor(0, 0, 0);
    std::unique_ptr<CChartGrid> grid_;
    std::unique_ptr<CChartAxisLabel> label_;
    std::vector<CChartSerie*> series_;
    bool automaticMargin_ = true;
    int margin_ = 0;
    bool panZoomAllowed_ = true;
    double zoomLimit_ = 0.001;
    std::unique_ptr<CChartScrollBar> scrollBar_;
};
