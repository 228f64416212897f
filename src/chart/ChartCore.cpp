#include "ChartCore.h"

#include <utility>

#include "ChartAxis.h"
#include "ChartAxisLabel.h"
#include "ChartCursor.h"
#include "ChartGrid.h"
#include "ChartLegend.h"
#include "ChartMouseListener.h"
#include "ChartScrollBar.h"
#include "ChartSerie.h"
#include "ChartTitle.h"

namespace {

constexpr Color kDefaultSerieColors[] = {
    MakeColor(255, 0, 0),   MakeColor(0, 150, 0),    MakeColor(0, 0, 255),   MakeColor(255, 255, 0),
    MakeColor(0, 255, 255), MakeColor(255, 128, 0),  MakeColor(128, 0, 128), MakeColor(128, 128, 0),
    MakeColor(255, 0, 255), MakeColor(64, 128, 128),
};
constexpr int kDefaultSerieColorCount = sizeof kDefaultSerieColors / sizeof kDefaultSerieColors[0];

// Room between the control's edge and the chart inside it.
constexpr int kChartInset = 3;

}  // namespace

CChartCore::CChartCore()
    : legend_(std::make_unique<CChartLegend>(this)), title_(std::make_unique<CChartTitle>(this)) {}

CChartCore::~CChartCore() {
    // Series leave their axes' lists, so they go before the axes.
    series_.clear();
    cursors_.clear();
    retiredCursors_.clear();
    for (auto& axis : axes_) axis.reset();
    legend_.reset();
    title_.reset();
    backBuffer_.reset();
}

std::unique_ptr<ScrollBarView> CChartCore::CreateScrollBarView(const CChartAxis&) {
    return nullptr;
}

void CChartCore::DropScrollBarViews() {
    for (const auto& axis : axes_) {
        if (axis && axis->GetScrollBar()) axis->GetScrollBar()->DropView();
    }
}

void CChartCore::AttachAxis(CChartAxis* axis, AxisPosition position) {
    if (!axis || position < Left || position > Top) return;
    std::unique_ptr<CChartAxis>& slot = axes_[position];
    if (slot.get() == axis) return;
    for (const auto& other : axes_) {
        if (other.get() == axis) return;  // already owned in another position
    }
    const bool horizontal = position == Bottom || position == Top;
    axis->SetParent(this);
    axis->SetSecondary(position == Right || position == Top);
    axis->SetHorizontal(horizontal);
    const ChartRect& p = plottingRect_;
    axis->SetScrollBar(std::make_unique<CChartScrollBar>(
        *axis, CreateScrollBarView(*axis),
        ChartRect{p.left + 1, p.top + 1, p.right + 1, p.bottom + 1}));

    // Series drawn against the old axis move to the new one rather than keep
    // a pointer to a deleted axis.
    if (slot) {
        CChartAxis* old = slot.get();
        for (auto& [id, serie] : series_) {
            CChartAxis* vertical = serie->GetVerticalAxis();
            CChartAxis* horizontalAxis = serie->GetHorizontalAxis();
            if (vertical != old && horizontalAxis != old) continue;
            old->UnregisterSerie(serie.get());
            serie->SetAxes(vertical == old ? axis : vertical,
                           horizontalAxis == old ? axis : horizontalAxis);
            axis->RegisterSerie(serie.get());
        }
    }
    slot.reset(axis);
}

CChartAxis* CChartCore::GetAxis(AxisPosition position) const {
    if (position < Left || position > Top) return nullptr;
    return axes_[position].get();
}

void CChartCore::SetBackgroundColor(Color color) {
    backgroundColor_ = color;
    gradientBackground_ = false;
    Refresh();
}

void CChartCore::SetBorderColor(Color color) {
    borderColor_ = color;
    Refresh();
}

void CChartCore::SetEdgeType(int edgeType) {
    edgeType_ = edgeType;
    Refresh();
}

void CChartCore::SetBackgroundGradient(Color first, Color second, int type) {
    gradientBackground_ = true;
    gradientFirst_ = first;
    gradientSecond_ = second;
    gradientType_ = type;
}

void CChartCore::SuspendRefresh() {
    --refreshCounter_;
    if (refreshCounter_ > 0 && refreshPending_) {
        refreshPending_ = false;
        Refresh();
    }
}

void CChartCore::ResumeRefresh() {
    ++refreshCounter_;
    if (refreshCounter_ > 0 && refreshPending_) {
        refreshPending_ = false;
        Refresh();
    }
}

void CChartCore::Refresh() {
    if (!HasWindow()) return;
    if (refreshCounter_ <= 0) {
        refreshPending_ = true;
        return;
    }
    const ChartRect client = ClientRect();
    plottingRect_ = client;
    if (!backBuffer_) backBuffer_ = CreateBackBuffer(client.Width(), client.Height());
    if (backBuffer_) {
        DrawBackground(*backBuffer_, client);
        DrawChart(*backBuffer_, client.Deflated(kChartInset));
    }
    // Cursors keep their pixels; what they report follows the new layout.
    ForEachCursor([](CChartCursor& cursor) { cursor.FollowAxes(); });
    for (const auto& axis : axes_) {
        if (axis && axis->GetScrollBar()) axis->GetScrollBar()->Reposition(plottingRect_);
    }
    InvalidateWindow();
}

void CChartCore::DrawBackground(DrawSurface& surface, const ChartRect& rect) {
    if (gradientBackground_) {
        const Color a = gradientFirst_, b = gradientSecond_;
        switch (gradientType_) {
            case 0:
                surface.GradientFill(rect, a, b, GradientDirection::Horizontal);
                break;
            case 2: {
                const int mid = rect.left + (rect.right - rect.left) / 2;
                surface.GradientFill({rect.left, rect.top, mid, rect.bottom}, a, b,
                                     GradientDirection::Horizontal);
                surface.GradientFill({mid, rect.top, rect.right, rect.bottom}, b, a,
                                     GradientDirection::Horizontal);
                break;
            }
            case 3: {
                const int mid = rect.top + (rect.bottom - rect.top) / 2;
                surface.GradientFill({rect.left, rect.top, rect.right, mid}, a, b,
                                     GradientDirection::Vertical);
                surface.GradientFill({rect.left, mid, rect.right, rect.bottom}, b, a,
                                     GradientDirection::Vertical);
                break;
            }
            default:
                surface.GradientFill(rect, a, b, GradientDirection::Vertical);
                break;
        }
    } else {
        surface.SetTextBackgroundColor(backgroundColor_);
        surface.FillRect(rect, SurfaceBrush{backgroundColor_});
    }
    surface.DrawEdge(rect, static_cast<unsigned>(edgeType_));
}

void CChartCore::DrawChart(DrawSurface& surface, ChartRect rect) {
    ChartRect area = rect;
    plottingRect_ = rect;

    const ChartSize titleSize = title_->GetSize(surface);
    title_->SetRect({area.left, area.top, area.right, area.top + titleSize.height});
    area.top += titleSize.height;
    title_->Draw(surface);

    legend_->ReserveSpace(area, surface);
    // The plot stays clear of the title and a docked legend even without the
    // axes whose reservations would otherwise keep it there.
    plottingRect_ = plottingRect_.Intersected(area);

    auto place = [&](CChartAxis& axis) {
        const ChartRect& plot = plottingRect_;
        ChartRect outer = area;
        if (axis.IsHorizontal()) {
            axis.SetPixelSpan(plot.left, plot.right);
            if (axis.IsSecondary()) {
                outer.bottom = plot.top;
            } else {
                outer.top = plot.bottom;
            }
        } else {
            axis.SetPixelSpan(plot.bottom, plot.top);
            if (axis.IsSecondary()) {
                outer.left = plot.right;
            } else {
                outer.right = plot.left;
            }
        }
        axis.SetOuterRect(outer);
        if (axis.IsAutomaticTicks()) axis.ComputeTickIncrement();
        axis.ComputeFirstTick();
    };
    // The first pass lets every axis take its room; the second lays them out
    // against the final plotting rectangle and draws them.
    for (const auto& axis : axes_) {
        if (!axis) continue;
        place(*axis);
        axis->ReserveSpace(area, plottingRect_, surface);
    }
    for (const auto& axis : axes_) {
        if (!axis) continue;
        place(*axis);
        axis->Draw(surface);
    }

    DrawPlottingFrame(surface);

    const ChartRect plot = plottingRect_;
    for (auto& [id, serie] : series_) {
        serie->SetPlottingRect({plot.left, plot.top, plot.right + 1, plot.bottom + 1});
        serie->DrawAll(surface);
    }
    surface.IntersectClip(plot);
    for (auto& [id, serie] : series_) serie->DrawLabels(surface);
    surface.ResetClip();

    legend_->Draw(surface);
}

void CChartCore::DrawPlottingFrame(DrawSurface& surface) const {
    const ChartRect& p = plottingRect_;
    const SurfacePen previous = surface.SelectPen({PenSolid, 0, borderColor_, false});
    surface.MoveTo(p.left, p.top);
    surface.LineTo(p.right, p.top);
    surface.LineTo(p.right, p.bottom);
    surface.LineTo(p.left, p.bottom);
    surface.LineTo(p.left, p.top);
    surface.SelectPen(previous);
}

void CChartCore::DrawPicture(DrawSurface& surface, const ChartRect& area) {
    DrawBackground(surface, area);
    DrawChart(surface, area.Deflated(kChartInset));
}

void CChartCore::Paint(DrawSurface& window) {
    if (!backBufferCreated_) {
        Refresh();
        backBufferCreated_ = true;
    }
    const ChartRect client = ClientRect();
    if (backBuffer_) window.CopyToWindow(*backBuffer_, client.Width(), client.Height());
    if (zoomEnabled_ && zooming_) {
        const SurfacePen previous = window.SelectPen({PenSolid, 1, zoomRectColor_, false});
        const ChartRect& z = zoomRect_;
        window.MoveTo(z.left, z.top);
        window.LineTo(z.right, z.top);
        window.LineTo(z.right, z.bottom);
        window.LineTo(z.left, z.bottom);
        window.LineTo(z.left, z.top);
        window.SelectPen(previous);
    }
    for (auto& [id, cursor] : cursors_) cursor->Draw(window);
}

void CChartCore::OnResize() {
    backBuffer_.reset();
    Refresh();
}

void CChartCore::AddSerie(CChartSerie* serie) {
    // A serie already owned must not be adopted a second time.
    if (!serie || series_.count(serie->GetId()) != 0) return;
    serie->AssignColor(kDefaultSerieColors[series_.size() % kDefaultSerieColorCount]);
    serie->SetPlottingRect(plottingRect_);
    Refresh();
    CChartAxis* vertical = axes_[Left].get();
    CChartAxis* horizontal = axes_[Bottom].get();
    serie->SetAxes(vertical, horizontal);
    series_[serie->GetId()].reset(serie);

    SuspendRefresh();
    if (vertical) {
        vertical->RegisterSerie(serie);
        vertical->RefreshAutoRange();
    }
    if (horizontal) {
        horizontal->RegisterSerie(serie);
        horizontal->RefreshAutoRange();
    }
    Refresh();
    ResumeRefresh();
}

void CChartCore::RemoveSerie(unsigned serieId) {
    const auto it = series_.find(serieId);
    if (it == series_.end()) return;
    std::unique_ptr<CChartSerie> serie = std::move(it->second);
    series_.erase(it);
    SuspendRefresh();
    CChartAxis* vertical = serie->GetVerticalAxis();
    CChartAxis* horizontal = serie->GetHorizontalAxis();
    if (vertical) vertical->UnregisterSerie(serie.get());
    if (horizontal) horizontal->UnregisterSerie(serie.get());
    if (vertical) vertical->RefreshAutoRange();
    if (horizontal) horizontal->RefreshAutoRange();
    serie.reset();
    Refresh();
    ResumeRefresh();
}

void CChartCore::RemoveAllSeries() {
    series_.clear();
    Refresh();
}

CChartSerie* CChartCore::GetSerie(unsigned serieId) const {
    const auto it = series_.find(serieId);
    return it == series_.end() ? nullptr : it->second.get();
}

CChartCursor* CChartCore::AddCursor(std::unique_ptr<CChartCursor> cursor) {
    if (!cursor) return nullptr;
    CChartCursor* raw = cursor.get();
    cursors_[raw->GetId()] = std::move(cursor);
    InvalidateWindow();
    return raw;
}

CChartCrossHairCursor* CChartCore::AddCrossHairCursor() {
    auto cursor = std::make_unique<CChartCrossHairCursor>(this);
    CChartCrossHairCursor* raw = cursor.get();
    AddCursor(std::move(cursor));
    return raw;
}

CChartDragLineCursor* CChartCore::AddDragLineCursor(AxisPosition position) {
    auto cursor = std::make_unique<CChartDragLineCursor>(this, position);
    CChartDragLineCursor* raw = cursor.get();
    AddCursor(std::move(cursor));
    return raw;
}

void CChartCore::RemoveCursor(unsigned cursorId) {
    const auto it = cursors_.find(cursorId);
    if (it == cursors_.end()) return;
    if (cursorWalks_ > 0) retiredCursors_.push_back(std::move(it->second));
    cursors_.erase(it);
    // Cursors are only on the window: a repaint takes it off.
    InvalidateWindow();
}

template <class Call>
void CChartCore::ForEachCursor(Call call) {
    if (cursors_.empty()) return;
    std::vector<unsigned> ids;
    ids.reserve(cursors_.size());
    for (const auto& entry : cursors_) ids.push_back(entry.first);
    ++cursorWalks_;
    for (const unsigned id : ids) {
        const auto it = cursors_.find(id);
        if (it != cursors_.end()) call(*it->second);
    }
    if (--cursorWalks_ == 0) retiredCursors_.clear();
}

void CChartCore::ShowMouseCursor(bool show) {
    showMouseCursor_ = show;
    if (pointerSeen_) UpdatePointer(lastPointer_);
}

void CChartCore::UpdatePointer(ChartPoint point) {
    SetPointerHidden(!showMouseCursor_ && plottingRect_.Contains(point));
}

void CChartCore::UndoZoom() {
    SuspendRefresh();
    for (const AxisPosition position : {Bottom, Left, Top, Right}) {
        if (axes_[position]) axes_[position]->ResetZoom();
    }
    ResumeRefresh();
}

void CChartCore::Zoom(const ChartRect& band) {
    for (const AxisPosition position : {Bottom, Left, Top, Right}) {
        CChartAxis* axis = axes_[position].get();
        if (!axis) continue;
        // From the band's low-value end to its high-value end.
        double low, high;
        if (axis->IsHorizontal()) {
            low = axis->PixelToValue(band.left);
            high = axis->PixelToValue(band.right);
        } else {
            low = axis->PixelToValue(band.bottom);
            high = axis->PixelToValue(band.top);
        }
        if (axis->IsInverted()) std::swap(low, high);
        axis->SetVisibleRange(low, high);
    }
    Refresh();
}

void CChartCore::OnMouseMove(int x, int y) {
    const ChartPoint point{x, y};
    if (rightButtonDown_ && panEnabled_ && point != panAnchor_) {
        SuspendRefresh();
        for (const AxisPosition position : {Left, Right}) {
            if (axes_[position]) axes_[position]->Pan(panAnchor_.y, y);
        }
        for (const AxisPosition position : {Bottom, Top}) {
            if (axes_[position]) axes_[position]->Pan(panAnchor_.x, x);
        }
        Refresh();
        ResumeRefresh();
        RepaintWindow();
        panAnchor_ = point;
    }
    if (zooming_ && zoomEnabled_) {
        zoomRect_.right = x;
        zoomRect_.bottom = y;
        InvalidateWindow();
    }
    // Auto-hiding bars show only while the pointer is over them.
    bool barShown = false;
    for (const auto& axis : axes_) {
        CChartScrollBar* bar = axis ? axis->GetScrollBar() : nullptr;
        if (!bar || !bar->IsEnabled() || !bar->IsAutoHide()) continue;
        const bool over = !barShown && bar->Contains(point);
        bar->SetShown(over);
        barShown = barShown || over;
    }
    const bool inPlot = plottingRect_.Contains(point);
    if (inPlot && !cursors_.empty()) {
        ForEachCursor([&](CChartCursor& cursor) { cursor.OnMouseMove(x, y); });
        InvalidateWindow();
    }
    pointerSeen_ = true;
    lastPointer_ = point;
    UpdatePointer(point);
    DispatchMouse(MouseMove, point);
}

void CChartCore::OnLButtonDown(int x, int y) {
    const ChartPoint point{x, y};
    if (zoomEnabled_) {
        zooming_ = true;
        zoomRect_ = {x, y, x, y};
    }
    if (plottingRect_.Contains(point) && !cursors_.empty()) {
        bool grabbed = false;
        ForEachCursor([&](CChartCursor& cursor) {
            cursor.OnButtonDown(x, y);
            grabbed = grabbed || cursor.HoldsButton();
        });
        // A press that grabs a ruler moves the ruler; it must not also zoom.
        if (grabbed) zooming_ = false;
        InvalidateWindow();
    }
    DispatchMouse(LButtonDown, point);
}

void CChartCore::OnLButtonUp(int x, int y) {
    const ChartPoint point{x, y};
    // Only a band this chart saw begin may zoom: the release that ends a
    // double click must not act on the band of the click before it.
    const bool banding = zooming_;
    zooming_ = false;
    if (banding) {
        if (zoomEnabled_) {
            const ChartRect band = zoomRect_;
            // Drawn up or to the left undoes; a band of no width or height does nothing.
            if (band.right < band.left || band.bottom < band.top) {
                UndoZoom();
            } else if (band.left != band.right && band.top != band.bottom) {
                Zoom(band);
            }
        }
        InvalidateWindow();  // the band goes
    }
    if (plottingRect_.Contains(point) && !cursors_.empty()) {
        ForEachCursor([&](CChartCursor& cursor) { cursor.OnButtonUp(x, y); });
        InvalidateWindow();
    }
    DispatchMouse(LButtonUp, point);
}

void CChartCore::OnLButtonDoubleClick(int x, int y) {
    DispatchMouse(LButtonDoubleClick, {x, y});
}

void CChartCore::OnRButtonDown(int x, int y) {
    rightButtonDown_ = true;
    if (panEnabled_) panAnchor_ = {x, y};
    DispatchMouse(RButtonDown, {x, y});
}

void CChartCore::OnRButtonUp(int x, int y) {
    rightButtonDown_ = false;
    DispatchMouse(RButtonUp, {x, y});
}

void CChartCore::OnRButtonDoubleClick(int x, int y) {
    DispatchMouse(RButtonDoubleClick, {x, y});
}

void CChartCore::DispatchMouse(MouseEvent event, ChartPoint point) {
    if (mouseListener_) {
        if (title_->GetRect().Contains(point)) mouseListener_->OnMouseEventTitle(event, point);
        if (legend_->GetRect().Contains(point)) mouseListener_->OnMouseEventLegend(event, point);
        for (const auto& axis : axes_) {
            if (axis && axis->GetOuterRect().Contains(point)) {
                mouseListener_->OnMouseEventAxis(event, point, axis.get());
            }
        }
        if (plottingRect_.Contains(point)) mouseListener_->OnMouseEventPlotArea(event, point);
    }
    // The last serie added is drawn on top, so it is asked first; the walk
    // ends with the serie that took the event, before its listener's changes matter.
    for (auto it = series_.rbegin(); it != series_.rend(); ++it) {
        if (it->second->OnMouseEvent(event, point)) break;
    }
}

void CChartCore::OnScrollBarRequest(CChartScrollBar& bar, int request, int thumb) {
    bool ours = false;
    for (const auto& axis : axes_) ours = ours || (axis && axis->GetScrollBar() == &bar);
    if (!ours) return;
    SuspendRefresh();
    bar.OnScroll(request, thumb);
    Refresh();
    ResumeRefresh();
}

bool CChartCore::SaveImage(const std::string& fileName, ChartRect area) {
    if (area.IsEmpty()) area = ClientRect();
    // The picture starts at its own origin wherever the area lies.
    const ChartRect picture{0, 0, area.Width(), area.Height()};
    bool written = false;
    if (!picture.IsEmpty()) {
        std::unique_ptr<DrawSurface> surface =
            CreatePictureSurface(picture.Width(), picture.Height());
        if (surface && surface->IsUsable()) {
            DrawPicture(*surface, picture);
            written = surface->WriteImageFile(fileName);
        }
    }
    // The layout now fits the picture; lay the chart out for the window again
    // so that its axes and series map pixels as shown.
    Refresh();
    return written;
}
