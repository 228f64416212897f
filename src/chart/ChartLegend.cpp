#include "ChartLegend.h"

#include <algorithm>

#include "ChartCore.h"
#include "ChartSerie.h"

namespace {
// Space from the box's left edge to the samples, and after the last text.
constexpr int kLeftPad = 2;
constexpr int kRightPad = 4;
// Space from the box's top edge to the first sample, and under the last entry.
constexpr int kTopPad = 5;
constexpr int kBottomPad = 3;
constexpr int kTextGap = 4;
constexpr int kHorizontalEntryGap = 14;
constexpr int kVerticalEntryGap = 2;
// Distance kept from the chart's edge.
constexpr int kEdgeGap = 2;
}  // namespace

CChartLegend::CChartLegend(CChartCore* parent) : parent_(parent), font_("Times New Roman", 100) {}

CChartLegend::~CChartLegend() = default;

void CChartLegend::RefreshChart() {
    if (parent_) parent_->Refresh();
}

void CChartLegend::SetVisible(bool visible) {
    visible_ = visible;
    RefreshChart();
}

void CChartLegend::DockLegend(DockSide side) {
    docked_ = true;
    dockSide_ = side;
    RefreshChart();
}

void CChartLegend::UndockLegend(int left, int top) {
    docked_ = false;
    freeLeft_ = left;
    freeTop_ = top;
    RefreshChart();
}

void CChartLegend::SetFont(int tenths, const std::string& face) {
    font_.SetSize(tenths);
    font_.SetFace(face);
    RefreshChart();
}

void CChartLegend::SetTransparent(bool transparent) {
    transparent_ = transparent;
    RefreshChart();
}

void CChartLegend::SetHorizontalMode(bool horizontal) {
    horizontal_ = horizontal;
    RefreshChart();
}

void CChartLegend::SetShadow(bool shadow, int depth) {
    shadow_ = shadow;
    shadowDepth_ = std::max(0, depth);
    RefreshChart();
}

void CChartLegend::SetBackgroundColor(Color color) {
    backgroundColor_ = color;
    RefreshChart();
}

void CChartLegend::SetShadowColor(Color color) {
    shadowColor_ = color;
    RefreshChart();
}

std::vector<CChartLegend::Entry> CChartLegend::Entries(DrawSurface& surface) {
    std::vector<Entry> entries;
    if (!parent_) return entries;
    font_.Select(surface);
    for (const auto& [id, serie] : parent_->GetSeries()) {
        if (!serie->IsVisible() || serie->GetName().empty()) continue;
        entries.push_back({serie.get(), surface.TextExtent(serie->GetName())});
    }
    font_.Release(surface);
    return entries;
}

ChartSize CChartLegend::BoxSize(const std::vector<Entry>& entries) const {
    if (entries.empty()) return {};
    ChartSize size;
    if (horizontal_) {
        int tallest = sampleHeight_ + 1;
        // Each entry starts its sample, text width + sample width + the gap after the previous one.
        size.width = kLeftPad + kTextGap + kRightPad - kHorizontalEntryGap;
        for (const Entry& e : entries) {
            size.width += sampleWidth_ + e.text.width + kHorizontalEntryGap;
            tallest = std::max(tallest, e.text.height);
        }
        size.height = kTopPad + tallest + kTopPad;
    } else {
        int widest = 0;
        size.height = kTopPad + kBottomPad;
        for (const Entry& e : entries) {
            widest = std::max(widest, e.text.width);
            size.height += std::max(e.text.height, sampleHeight_) + kVerticalEntryGap;
        }
        size.width = kLeftPad + sampleWidth_ + kTextGap + widest + kRightPad;
    }
    return size;
}

void CChartLegend::ReserveSpace(ChartRect& area, DrawSurface& surface) {
    rect_ = {};
    if (!visible_) return;
    const ChartSize size = BoxSize(Entries(surface));
    if (size.width == 0) return;
    if (!docked_) {
        rect_ = {freeLeft_, freeTop_, freeLeft_ + size.width, freeTop_ + size.height};
        return;
    }
    // The shadow falls right and down, so those sides keep room for it too.
    const int shadow = shadow_ ? shadowDepth_ : 0;
    const int middleX = area.left + (area.Width() - size.width) / 2;
    const int middleY = area.top + (area.Height() - size.height) / 2;
    switch (dockSide_) {
        case DockLeft:
            rect_.left = area.left + kEdgeGap;
            rect_.top = middleY;
            break;
        case DockTop:
            rect_.left = middleX;
            rect_.top = area.top + kEdgeGap;
            break;
        case DockBottom:
            rect_.left = middleX;
            rect_.top = area.bottom - kEdgeGap - shadow - size.height;
            break;
        default:
            rect_.left = area.right - kEdgeGap - shadow - size.width;
            rect_.top = middleY;
            break;
    }
    rect_.right = rect_.left + size.width;
    rect_.bottom = rect_.top + size.height;
    switch (dockSide_) {
        case DockLeft:
            area.left = rect_.right + kEdgeGap + shadow;
            break;
        case DockTop:
            area.top = rect_.bottom + kEdgeGap + shadow;
            break;
        case DockBottom:
            area.bottom = rect_.top - kEdgeGap;
            break;
        default:
            area.right = rect_.left - kEdgeGap;
            break;
    }
}

void CChartLegend::Draw(DrawSurface& surface) {
    if (!visible_ || rect_.IsEmpty()) return;
    const std::vector<Entry> entries = Entries(surface);
    const ChartRect& r = rect_;
    if (shadow_) {
        surface.FillRect({r.left + shadowDepth_, r.top + shadowDepth_, r.right + shadowDepth_,
                          r.bottom + shadowDepth_},
                         SurfaceBrush{shadowColor_});
    }
    if (!transparent_) surface.FillRect(r, SurfaceBrush{backgroundColor_});
    const SurfacePen previousPen = surface.SelectPen({PenSolid, 0, MakeColor(0, 0, 0), false});
    surface.MoveTo(r.left, r.top);
    surface.LineTo(r.right - 1, r.top);
    surface.LineTo(r.right - 1, r.bottom - 1);
    surface.LineTo(r.left, r.bottom - 1);
    surface.LineTo(r.left, r.top);
    surface.SelectPen(previousPen);

    font_.Select(surface);
    const Color previousColor = surface.SetTextColor(MakeColor(0, 0, 0));
    const BackgroundMode previousMode = surface.SetBackgroundMode(BackgroundMode::Transparent);
    int x = r.left + kLeftPad, y = r.top + kTopPad;
    for (const Entry& e : entries) {
        ChartRect sample{x, y, x + sampleWidth_, y + 1 + sampleHeight_};
        const int textX = sample.right + kTextGap;
        if (e.text.height > sampleHeight_) {
            // The sample moves down to the middle of the taller text.
            const int shift = (e.text.height - sampleHeight_) / 2;
            sample.top += shift;
            sample.bottom += shift;
            surface.TextOut(textX, y, e.serie->GetName());
        } else {
            surface.TextOut(textX, y + (sampleHeight_ - e.text.height) / 2, e.serie->GetName());
        }
        e.serie->DrawLegendSample(surface, sample);
        if (horizontal_) {
            x += e.text.width + sampleWidth_ + kHorizontalEntryGap;
        } else {
            y += std::max(e.text.height, sampleHeight_) + kVerticalEntryGap;
        }
    }
    surface.SetBackgroundMode(previousMode);
    surface.SetTextColor(previousColor);
    font_.Release(surface);
}
