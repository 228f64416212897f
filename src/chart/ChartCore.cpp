#include "ChartCore.h"

#include "AxisScrollBar.h"
#include "ChartAxis.h"
#include "ChartAxisLabel.h"
#include "ChartCursor.h"
#include "ChartGrid.h"
#include "ChartLegend.h"
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
    for (auto& axis : axes_) axis.reset();
    legend_.reset();
    title_.reset();
    backBuffer_.reset();
}

std::unique_ptr<AxisScrollBar> CChartCore::CreateScrollBar(CChartAxis&) {
    return nullptr;
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
    axis->SetScrollBar(CreateScrollBar(*axis));

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
    for (const auto& axis : axes_) {
        if (axis && axis->GetScrollBar()) axis->GetScrollBar()->Reposition();
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
    return raw;
}

void CChartCore::RemoveCursor(unsigned cursorId) {
    cursors_.erase(cursorId);
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
