#include "ChartLabel.h"

#include "BalloonPlacement.h"
#include "ChartBalloonLabel.h"
#include "ChartCore.h"
#include "ChartSerieBase.h"

CChartLabel<SChartXYPoint>::CChartLabel(CChartCore* parent, CChartSerieBase<SChartXYPoint>* serie)
    : parent_(parent), serie_(serie) {}

void CChartLabel<SChartXYPoint>::RefreshChart() {
    if (parent_) parent_->Refresh();
}

void CChartLabel<SChartXYPoint>::SetText(const std::string& text) {
    text_ = text;
    RefreshChart();
}

void CChartLabel<SChartXYPoint>::SetLabelProvider(CChartLabelProvider<SChartXYPoint>* provider) {
    provider_ = provider;
    RefreshChart();
}

const std::string& CChartLabel<SChartXYPoint>::CurrentText(unsigned pointIndex) {
    if (provider_) text_ = provider_->GetText(serie_, pointIndex);
    return text_;
}

CChartBalloonLabel<SChartXYPoint>::CChartBalloonLabel(CChartCore* parent,
                                                      CChartSerieBase<SChartXYPoint>* serie)
    : CChartLabel<SChartXYPoint>(parent, serie), font_("Microsoft Sans Serif", 100) {}

void CChartBalloonLabel<SChartXYPoint>::SetLineColor(Color color) {
    lineColor_ = color;
    RefreshChart();
}

void CChartBalloonLabel<SChartXYPoint>::SetBackgroundColor(Color color) {
    backgroundColor_ = color;
    RefreshChart();
}

void CChartBalloonLabel<SChartXYPoint>::SetBorderColor(Color color) {
    borderColor_ = color;
    RefreshChart();
}

void CChartBalloonLabel<SChartXYPoint>::SetFont(int tenths, const std::string& face, bool bold,
                                                bool italic, bool underline) {
    font_.SetSize(tenths);
    font_.SetFace(face);
    font_.SetStyle(italic, bold, underline);
    RefreshChart();
}

void CChartBalloonLabel<SChartXYPoint>::SetRoundedRect(bool rounded) {
    roundedRect_ = rounded;
    RefreshChart();
}

void CChartBalloonLabel<SChartXYPoint>::Draw(DrawSurface& surface, unsigned pointIndex) {
    CChartSerieBase<SChartXYPoint>* serie = GetSerie();
    const std::string& text = CurrentText(pointIndex);
    // A label on a point the serie does not have stays out of sight.
    if (text.empty() || !serie || pointIndex >= serie->GetPointsCount()) return;
    const ChartPoint p = serie->PointToScreen(pointIndex);

    font_.Select(surface);
    const ChartSize size = surface.TextExtent(text);
    const ChartSize boxSize{size.width + 2 * kPadding, size.height + 2 * kPadding};
    // Labels are drawn inside the plot's clip, so the box must find room there.
    const ChartRect plot = GetParent() ? GetParent()->GetPlottingRect() : ChartRect{};
    const BalloonPlacement placement = PlaceBalloon(p, boxSize, plot, kStemLength, kBoxRise);

    const SurfacePen previousPen = surface.SelectPen({PenSolid, 1, lineColor_, false});
    surface.MoveTo(p.x, p.y);
    surface.LineTo(placement.stemEnd.x, placement.stemEnd.y);

    surface.SelectPen({PenSolid, 1, borderColor_, false});
    const SurfaceBrush previousBrush = surface.SelectBrush({backgroundColor_});
    const ChartRect& box = placement.box;
    if (roundedRect_) {
        surface.RoundRect(box.left, box.top, box.right, box.bottom, kCorner, kCorner);
    } else {
        surface.Rectangle(box.left, box.top, box.right, box.bottom);
    }
    surface.TextOut(box.left + kPadding, box.top + kPadding, text);

    surface.SelectBrush(previousBrush);
    font_.Release(surface);
    surface.SelectPen(previousPen);
}
