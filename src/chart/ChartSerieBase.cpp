#include "ChartSerieBase.h"

#include <algorithm>

#include "ChartAxis.h"
#include "ChartCore.h"

CChartSerieBase<SChartXYPoint>::CChartSerieBase(CChartCore* parent) : CChartSerie(parent) {}

CChartSerieBase<SChartXYPoint>::~CChartSerieBase() = default;

ChartPoint CChartSerieBase<SChartXYPoint>::PointToScreen(unsigned index) const {
    if (!HasAxes() || index >= store_.Count()) return {};
    const SChartXYPoint& p = store_[index];
    return {GetHorizontalAxis()->ValueToPixel(p.X), GetVerticalAxis()->ValueToPixel(p.Y)};
}

bool CChartSerieBase<SChartXYPoint>::GetYRange(double& min, double& max) const {
    return IsVisible() && store_.YRange(min, max);
}

bool CChartSerieBase<SChartXYPoint>::GetXRange(double& min, double& max) const {
    return IsVisible() && store_.XRange(min, max);
}

bool CChartSerieBase<SChartXYPoint>::GetVisibleXRange(double& min, double& max) const {
    unsigned first, last;
    if (!IsVisible() || store_.GetOrdering() != YOrdering || !FindVisiblePoints(first, last)) {
        return false;
    }
    return VisibleRange(first, last, &SChartXYPoint::X, min, max);
}

bool CChartSerieBase<SChartXYPoint>::GetVisibleYRange(double& min, double& max) const {
    unsigned first, last;
    if (!IsVisible() || store_.GetOrdering() != XOrdering || !FindVisiblePoints(first, last)) {
        return false;
    }
    return VisibleRange(first, last, &SChartXYPoint::Y, min, max);
}

bool CChartSerieBase<SChartXYPoint>::VisibleRange(unsigned first, unsigned last,
                                                  double SChartXYPoint::*value, double& min,
                                                  double& max) const {
    bool found = false;
    for (unsigned i = first; i <= last; ++i) {
        const SChartXYPoint& p = store_[i];
        if (IsGap(p)) continue;
        min = found ? std::min(min, p.*value) : p.*value;
        max = found ? std::max(max, p.*value) : p.*value;
        found = true;
    }
    return found;
}

bool CChartSerieBase<SChartXYPoint>::FindVisiblePoints(unsigned& first, unsigned& last) const {
    const unsigned count = store_.Count();
    if (count == 0) return false;
    if (store_.GetOrdering() == NoOrdering) {
        first = 0;
        last = count - 1;
        return true;
    }
    const CChartAxis* axis =
        store_.GetOrdering() == XOrdering ? GetHorizontalAxis() : GetVerticalAxis();
    if (!axis) return false;
    first = store_.Search(axis->GetMin(), 0, count - 1);
    last = store_.Search(axis->GetMax(), first, count - 1);
    return true;
}

bool CChartSerieBase<SChartXYPoint>::FindDrawnPoints(unsigned& first, unsigned& last) const {
    if (!FindVisiblePoints(first, last)) return false;
    if (first > 0) --first;
    if (last < store_.Count() - 1) ++last;
    return true;
}

void CChartSerieBase<SChartXYPoint>::SetOrdering(PointsOrdering ordering) {
    store_.SetOrdering(ordering);
}

void CChartSerieBase<SChartXYPoint>::AddPoint(double x, double y) {
    store_.Add({x, y, 0});
}

void CChartSerieBase<SChartXYPoint>::AttachLabel(unsigned pointIndex,
                                                 CChartLabel<SChartXYPoint>* label) {
    if (!label) {
        labels_.erase(pointIndex);
        return;
    }
    if (GetLabel(pointIndex) == label) return;
    // One owner per label: taken from where it was, here or on another serie,
    // rather than deleted there while still in use here.
    CChartSerieBase<SChartXYPoint>* previous = label->GetSerie();
    if (previous && previous != this) previous->TakeLabel(label);
    TakeLabel(label);
    label->SetSerie(this);
    labels_[pointIndex].reset(label);
}

void CChartSerieBase<SChartXYPoint>::TakeLabel(CChartLabel<SChartXYPoint>* label) {
    for (auto it = labels_.begin(); it != labels_.end(); ++it) {
        if (it->second.get() != label) continue;
        it->second.release();
        labels_.erase(it);
        return;
    }
}

CChartBalloonLabel<SChartXYPoint>* CChartSerieBase<SChartXYPoint>::AddBalloonLabel(
    unsigned pointIndex, const std::string& text) {
    CChartCore* chart = GetParent();
    // Set up and attached before the one redraw, so that it shows at once.
    if (chart) chart->SuspendRefresh();
    auto* label = new CChartBalloonLabel<SChartXYPoint>(chart, this);
    label->SetText(text);
    AttachLabel(pointIndex, label);
    RefreshChart();
    if (chart) chart->ResumeRefresh();
    return label;
}

CChartLabel<SChartXYPoint>* CChartSerieBase<SChartXYPoint>::GetLabel(unsigned pointIndex) const {
    const auto it = labels_.find(pointIndex);
    return it == labels_.end() ? nullptr : it->second.get();
}

void CChartSerieBase<SChartXYPoint>::DrawLabels(DrawSurface& surface) {
    for (auto& [index, label] : labels_) label->Draw(surface, index);
}

bool CChartSerieBase<SChartXYPoint>::OnMouseEvent(MouseEvent event, ChartPoint point) {
    if (!mouseListener_) return false;
    if (event == MouseMove ? !NotifiesMoves() : !NotifiesClicks()) return false;
    unsigned index;
    if (!HitTest(point, index)) return false;
    mouseListener_->SeriesMouseEvent(event, point, this, index);
    return true;
}
