#pragma once

#include <map>
#include <memory>

#include "ChartBalloonLabel.h"
#include "ChartLabel.h"
#include "ChartPointStore.h"
#include "ChartPoints.h"
#include "ChartSerie.h"
#include "ChartSeriesMouseListener.h"

template <class PointType>
class CChartSerieBase;

// A serie with a point store: ranges, the visible part, point labels and the
// mouse listener.
template <>
class CChartSerieBase<SChartXYPoint> : public CChartSerie {
public:
    explicit CChartSerieBase(CChartCore* parent);
    ~CChartSerieBase() override;

    unsigned GetPointsCount() const override { return store_.Count(); }
    ChartPoint PointToScreen(unsigned index) const override;
    bool GetYRange(double& min, double& max) const override;
    bool GetXRange(double& min, double& max) const override;
    bool GetVisibleXRange(double& min, double& max) const override;
    bool GetVisibleYRange(double& min, double& max) const override;
    bool FindVisiblePoints(unsigned& first, unsigned& last) const override;
    void DrawLabels(DrawSurface& surface) override;
    bool OnMouseEvent(MouseEvent event, ChartPoint point) override;
    virtual void SetOrdering(PointsOrdering ordering);

    PointsOrdering GetOrdering() const { return store_.GetOrdering(); }
    const SChartXYPoint& GetPoint(unsigned index) const { return store_[index]; }
    unsigned GetCapacity() const { return store_.Capacity(); }
    void AddPoint(double x, double y);

    // Replaces and deletes the label already on that point and takes
    // ownership; a label attached elsewhere moves here, null only removes.
    void AttachLabel(unsigned pointIndex, CChartLabel<SChartXYPoint>* label);
    // A balloon with the text on that point, in place of any label there; owned by the serie.
    CChartBalloonLabel<SChartXYPoint>* AddBalloonLabel(unsigned pointIndex,
                                                       const std::string& text);
    CChartLabel<SChartXYPoint>* GetLabel(unsigned pointIndex) const;

    void SetMouseListener(CChartSeriesMouseListener<SChartXYPoint>* listener) {
        mouseListener_ = listener;
    }

protected:
    CChartPointStore& Store() { return store_; }
    const CChartPointStore& Store() const { return store_; }
    bool HasAxes() const { return GetVerticalAxis() && GetHorizontalAxis(); }
    // The visible points widened by one on each side, as drawing and hit testing walk them.
    bool FindDrawnPoints(unsigned& first, unsigned& last) const;
    // Extremes of one coordinate over the points first..last that have values.
    bool VisibleRange(unsigned first, unsigned last, double SChartXYPoint::*value, double& min,
                      double& max) const;
    // Gives up the label without deleting it, wherever it is attached.
    void TakeLabel(CChartLabel<SChartXYPoint>* label);

    unsigned lastDrawnIndex_ = 0;

private:
    CChartPointStore store_;
    std::map<unsigned, std::unique_ptr<CChartLabel<SChartXYPoint>>> labels_;
    CChartSeriesMouseListener<SChartXYPoint>* mouseListener_ = nullptr;
};
