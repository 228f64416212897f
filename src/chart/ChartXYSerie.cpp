#include "ChartXYSerie.h"

#include "ChartAxis.h"
#include "ChartCore.h"

CChartXYSerie::CChartXYSerie(CChartCore* parent) : CChartSerieBase<SChartXYPoint>(parent) {}

void CChartXYSerie::AddPoints(const double* xValues, const double* yValues, unsigned count) {
    CChartPointStore& store = Store();
    store.Reserve(store.Count() + count);
    for (unsigned i = 0; i < count; ++i) store.Add({xValues[i], yValues[i], 0});

    // Not added to a chart yet: the points wait for the axes.
    CChartCore* chart = GetParent();
    if (!chart || !HasAxes()) return;
    chart->SuspendRefresh();
    GetHorizontalAxis()->RefreshAutoRange();
    GetVerticalAxis()->RefreshAutoRange();
    chart->ResumeRefresh();

    // A full redraw that is already due would paint over the extension anyway.
    if (DrawSurface* buffer = chart->GetBackBuffer(); buffer && !chart->IsRefreshPending()) {
        DrawNew(*buffer);
    }
    chart->InvalidateWindow();
}
