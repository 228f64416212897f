#include "ChartAxis.h"

#include <algorithm>
#include <cmath>

#include "ChartAxisLabel.h"
#include "ChartCore.h"
#include "ChartGrid.h"
#include "ChartScrollBar.h"
#include "ChartSerie.h"
#include "TickMath.h"

CChartAxis::CChartAxis()
    : grid_(std::make_unique<CChartGrid>()), label_(std::make_unique<CChartAxisLabel>()) {}

CChartAxis::~CChartAxis() {
    // The bar refers to its axis to the end.
    scrollBar_.reset();
    series_.clear();
}

void CChartAxis::RefreshChart() {
    if (parent_) parent_->Refresh();
}

void CChartAxis::SetDiscrete(bool discrete) {
    discrete_ = discrete;
    RefreshChart();
}

double CChartAxis::PixelToValue(int pixel) const {
    return scale_.PixelToValue(pixel);
}

int CChartAxis::ValueToPixelStandard(double value) const {
    return scale_.ValueToPixel(value);
}

int CChartAxis::ValueToPixel(double value) const {
    if (scale_.IsRangeEmpty()) return scale_.MiddlePixel();
    return discrete_ ? ValueToPixelDiscrete(value) : ValueToPixelStandard(value);
}

bool CChartAxis::IsValueOnAxis(double value) const {
    return scale_.IsPixelOnSpan(ValueToPixel(value));
}

void CChartAxis::SetAutoMode(AxisAutoMode mode) {
    autoMode_ = mode;
    scale_.SetRange(0, 0);
    RefreshAutoRange();
}

void CChartAxis::SetVisible(bool visible) {
    visible_ = visible;
    RefreshChart();
}

void CChartAxis::SetAxisColor(Color color) {
    axisColor_ = color;
    RefreshChart();
}

void CChartAxis::SetTextColor(Color color) {
    textColor_ = color;
    RefreshChart();
}

void CChartAxis::SetInverted(bool inverted) {
    scale_.SetInverted(inverted);
    RefreshChart();
}

void CChartAxis::SetMargin(int margin) {
    automaticMargin_ = margin < 0;
    if (margin >= 0) margin_ = margin;
    RefreshChart();
}

void CChartAxis::SetTickFont(int tenths, const std::string& face) {
    tickFontSize_ = tenths;
    tickFontFace_ = face;
    RefreshChart();
}

void CChartAxis::SetParent(CChartCore* parent) {
    parent_ = parent;
    grid_->SetParent(parent);
    label_->SetParent(parent);
}

void CChartAxis::SetHorizontal(bool horizontal) {
    scale_.SetHorizontal(horizontal);
    grid_->SetHorizontal(horizontal);
    label_->SetHorizontal(horizontal);
}

void CChartAxis::SetScrollBar(std::unique_ptr<CChartScrollBar> scrollBar) {
    scrollBar_ = std::move(scrollBar);
}

void CChartAxis::UpdateScrollBar() {
    if (scrollBar_) scrollBar_->UpdateRange();
}

void CChartAxis::SetVisibleRange(double min, double max) {
    // A span of no pixels cannot tell values apart, so it zooms and pans nothing;
    // a range that is not finite would never come back.
    if (!panZoomAllowed_ || scale_.IsRangeEmpty() || scale_.Start() == scale_.End()) return;
    if (!std::isfinite(min) || !std::isfinite(max)) return;
    scale_.SetRange(min, max - min < zoomLimit_ ? min + zoomLimit_ : max);
    UpdateScrollBar();
}

void CChartAxis::ScrollSteps(int& steps, int& position) const {
    steps = 1;
    position = 1;
    const double range = scale_.Max() - scale_.Min();
    double dataMin, dataMax;
    CombinedSerieRange(false, dataMin, dataMax);
    const double span = dataMax - dataMin;
    if (range == 0 || span == 0) return;
    const double rawSteps = std::ceil(span / (range / 10));
    const double rawPosition = std::trunc((scale_.Min() - dataMin) / span * rawSteps);
    // A range zoomed far into its data, or moved far beyond it, must not
    // overflow the bar's integers.
    if (!(rawSteps >= 1) || std::isnan(rawPosition)) return;
    constexpr double kLimit = 1 << 24;
    steps = static_cast<int>(std::min(rawSteps, kLimit));
    position = static_cast<int>(std::clamp(rawPosition, -kLimit, kLimit));
}

void CChartAxis::ScrollTo(int previous, int next, bool reversed) {
    const double shift = (scale_.Max() - scale_.Min()) / 10 * (double(next) - previous);
    if (reversed) {
        SetVisibleRange(scale_.Min() - shift, scale_.Max() - shift);
    } else {
        SetVisibleRange(scale_.Min() + shift, scale_.Max() + shift);
    }
    if (!parent_) return;
    for (int position = CChartCore::Left; position <= CChartCore::Top; ++position) {
        CChartAxis* axis = parent_->GetAxis(static_cast<CChartCore::AxisPosition>(position));
        if (!axis) continue;
        axis->UpdateScrollBar();
        if (axis->GetAutoMode() == VisiblePoints) axis->RefreshAutoRange();
    }
}

void CChartAxis::Pan(int fromPixel, int toPixel) {
    const double shift = PixelToValue(fromPixel) - PixelToValue(toPixel);
    SetVisibleRange(scale_.Min() + shift, scale_.Max() + shift);
}

void CChartAxis::ResetZoom() {
    scale_.SetRange(undoMin_, undoMax_);
    UpdateScrollBar();
    RefreshChart();
}

void CChartAxis::RegisterSerie(CChartSerie* serie) {
    if (std::find(series_.begin(), series_.end(), serie) == series_.end()) {
        series_.push_back(serie);
    }
}

void CChartAxis::UnregisterSerie(CChartSerie* serie) {
    const auto it = std::find(series_.begin(), series_.end(), serie);
    if (it != series_.end()) series_.erase(it);
}

bool CChartAxis::CombinedSerieRange(bool visibleOnly, double& min, double& max) const {
    const bool horizontal = scale_.IsHorizontal();
    auto ask = [&](const CChartSerie* serie, double& lo, double& hi) {
        if (!visibleOnly) return horizontal ? serie->GetXRange(lo, hi) : serie->GetYRange(lo, hi);
        return horizontal ? serie->GetVisibleXRange(lo, hi) : serie->GetVisibleYRange(lo, hi);
    };
    min = max = 0;
    if (series_.empty()) return false;
    // The first serie writes straight into the result, so one that has nothing
    // to report leaves 0 inside the range; the others widen it.
    ask(series_.front(), min, max);
    double lo = 0, hi = 0;
    for (const CChartSerie* serie : series_) {
        ask(serie, lo, hi);
        min = std::min(min, lo);
        max = std::max(max, hi);
    }
    return true;
}

void CChartAxis::RefreshAutoRange() {
    UpdateScrollBar();
    if (autoMode_ == Manual) return;
    double min, max;
    CombinedSerieRange(autoMode_ == VisiblePoints, min, max);
    if (min == scale_.Min() && max == scale_.Max()) return;
    if (!scale_.IsHorizontal()) {
        min -= 0.5;
        max += 0.5;
    }
    scale_.SetRange(min, max);
    undoMin_ = min;
    undoMax_ = max;
    UpdateScrollBar();
    RefreshChart();
}

std::vector<double> CChartAxis::TickValues() const {
    if (scale_.IsRangeEmpty()) return {scale_.Min()};
    std::vector<double> values;
    double value = FirstTickValue();
    for (int n = 0; n < kMaxTicks; ++n) {
        values.push_back(value);
        double next;
        if (!NextTickValue(value, next) || !(next > value)) break;
        value = next;
    }
    return values;
}

ChartSize CChartAxis::LargestTickLabelSize(DrawSurface& surface) {
    SurfaceFont font;
    font.face = tickFontFace_;
    font.tenths = tickFontSize_;
    const SurfaceFont previous = surface.SelectFont(font);
    ChartSize largest;
    for (const double value : TickValues()) {
        if (!scale_.IsRangeEmpty() && !IsValueOnAxis(value)) continue;
        const ChartSize size = surface.TextExtent(TickLabel(value));
        largest.width = std::max(largest.width, size.width);
        largest.height = std::max(largest.height, size.height);
    }
    surface.SelectFont(previous);
    return largest;
}

int CChartAxis::ReserveSpace(const ChartRect& area, ChartRect& plotting, DrawSurface& surface) {
    if (!visible_) return 0;
    const ChartSize tick = SpaceTickLabels(surface);
    const ChartSize label = label_->GetSize(surface);
    int size;
    if (scale_.IsHorizontal()) {
        size = automaticMargin_ ? tick.height + 6 + label.height : margin_;
        const int rightLimit = area.right - 3 - tick.width / 2;
        if (secondary_) {
            plotting.top = std::max(plotting.top, area.top + size);
        } else {
            plotting.bottom = std::min(plotting.bottom, area.bottom - size);
        }
        plotting.right = std::min(plotting.right, rightLimit);
    } else {
        size = automaticMargin_ ? tick.width + 10 + label.width : margin_;
        plotting.top = std::max(plotting.top, area.top + 3 + tick.height / 2);
        if (secondary_) {
            plotting.right = std::min(plotting.right, area.right - size);
        } else {
            plotting.left = std::max(plotting.left, area.left + size);
        }
    }
    if (automaticMargin_) margin_ = size;
    return size;
}

void CChartAxis::PlaceLabel(ChartSize labelSize, int largestTickHeight) {
    const int mid = static_cast<int>(std::fabs((scale_.Start() + scale_.End()) * 0.5));
    int left, top;
    if (scale_.IsHorizontal()) {
        left = mid - labelSize.width / 2;
        top = secondary_ ? outerRect_.top : outerRect_.top + largestTickHeight + 2;
    } else {
        top = mid + labelSize.height / 2;
        left = secondary_ ? outerRect_.right - labelSize.width - 2 : outerRect_.left;
    }
    label_->SetPosition(left, top, labelSize);
}

void CChartAxis::DrawTick(DrawSurface& surface, double value, ChartSize labelSize) {
    const ChartRect& o = outerRect_;
    const int q = ValueToPixel(value);
    if (!scale_.IsRangeEmpty()) {
        // Without a range the tick has no pixel: no mark and no grid line.
        const int p = TickPixel(value);
        if (scale_.IsPixelOnSpan(p)) {
            if (scale_.IsHorizontal()) {
                const int y = secondary_ ? o.bottom - 1 : o.top + 1;
                surface.MoveTo(p, y);
                surface.LineTo(p, secondary_ ? y - 3 : y + 3);
            } else {
                const int x = secondary_ ? o.left + 1 : o.right - 1;
                surface.MoveTo(x, p);
                surface.LineTo(secondary_ ? x + 3 : x - 3, p);
            }
        }
        grid_->AddTick(p);
    }
    if (!IsValueOnAxis(value)) return;
    const std::string text = TickLabel(value);
    const ChartSize size = surface.TextExtent(text);
    if (scale_.IsHorizontal()) {
        const int y = secondary_ ? o.bottom - size.height - 5 : o.top + 5;
        surface.TextOut(q - size.width / 2, y, text);
    } else {
        const int x = secondary_ ? o.left + 6 : o.left + labelSize.width + 4;
        surface.TextOut(x, q - size.height / 2, text);
    }
}

void CChartAxis::Draw(DrawSurface& surface) {
    if (!visible_) return;
    const ChartSize largestTick = SpaceTickLabels(surface);
    const SurfacePen previousPen = surface.SelectPen({PenSolid, 0, axisColor_, false});
    SurfaceFont font;
    font.face = tickFontFace_;
    font.tenths = tickFontSize_;
    const SurfaceFont previousFont = surface.SelectFont(font);
    const Color previousText = surface.SetTextColor(textColor_);
    const BackgroundMode previousMode = surface.SetBackgroundMode(BackgroundMode::Transparent);

    const ChartRect& o = outerRect_;
    if (scale_.IsHorizontal()) {
        const int y = secondary_ ? o.bottom - 1 : o.top + 1;
        surface.MoveTo(scale_.Start(), y);
        surface.LineTo(scale_.End(), y);
    } else {
        const int x = secondary_ ? o.left + 1 : o.right - 1;
        surface.MoveTo(x, scale_.Start());
        surface.LineTo(x, scale_.End());
    }

    const ChartSize labelSize = label_->GetSize(surface);
    PlaceLabel(labelSize, largestTick.height);
    label_->Draw(surface);

    grid_->ClearTicks();
    for (const double value : TickValues()) DrawTick(surface, value, labelSize);
    grid_->Draw(surface);

    surface.SetBackgroundMode(previousMode);
    surface.SetTextColor(previousText);
    surface.SelectFont(previousFont);
    surface.SelectPen(previousPen);
}
