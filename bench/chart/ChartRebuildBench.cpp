// One rebuild of the chart as the window does it four times a second: remove
// every trace, add two line traces of n points, redraw once into the back buffer.
//   chart_rebuild_bench --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cmath>
#include <random>
#include <vector>

#include "ChartAxisLabel.h"
#include "ChartCtrl.h"
#include "ChartGrid.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"

namespace {

enum Shape { Smooth = 0, Noisy = 1 };

struct Traces {
    std::vector<double> index, x, y;
};

Traces MakeTraces(int n, Shape shape) {
    Traces t;
    std::mt19937 random(42);
    std::uniform_real_distribution<double> jitter(0.0, 0.4);
    for (int i = 0; i < n; ++i) {
        t.index.push_back(i);
        if (shape == Smooth) {
            t.x.push_back(1.5 * std::sin(i * 6.0 / n));
            t.y.push_back(-0.5 + std::cos(i * 9.0 / n));
        } else {
            // Every point far from its neighbour: the trace spans the plot at each step.
            const double side = i % 2 ? 1.0 : -1.0;
            t.x.push_back(side * (0.6 + jitter(random)));
            t.y.push_back(-side * (0.6 + jitter(random)));
        }
    }
    return t;
}

void AddTrace(CChartCtrl& chart, const std::vector<double>& x, const std::vector<double>& y,
              Color color) {
    auto* serie = new CChartLineSerie(&chart);
    chart.AddSerie(serie);
    serie->SetOrdering(NoOrdering);
    serie->AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
    serie->SetColor(color);
    serie->SetLineWidth(2);
}

void BM_ChartRebuild(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Traces traces = MakeTraces(n, static_cast<Shape>(state.range(1)));

    CChartCtrl chart;
    chart.resize(1100, 450);
    chart.SetBackgroundColor(MakeColor(255, 255, 255));
    chart.SetEdgeType(EdgeRaisedInner);
    for (auto position : {CChartCore::Left, CChartCore::Bottom}) {
        auto* axis = new CChartStandardAxis;
        chart.AttachAxis(axis, position);
        axis->SetAutoMode(CChartAxis::AllPoints);
        axis->GetGrid()->SetColor(MakeColor(189, 189, 189));
    }
    chart.GetAxis(CChartCore::Left)->GetLabel()->SetText("X/Y angle  (deg)");
    chart.GetAxis(CChartCore::Left)
        ->GetLabel()
        ->SetFont(80, "Times New Roman", false, false, false);
    chart.Refresh();  // the back buffer exists from the first refresh on

    for (auto _ : state) {
        chart.SuspendRefresh();
        chart.RemoveAllSeries();
        AddTrace(chart, traces.index, traces.x, MakeColor(255, 0, 0));
        AddTrace(chart, traces.index, traces.y, MakeColor(0, 150, 0));
        chart.ResumeRefresh();
        benchmark::DoNotOptimize(chart.GetBackBuffer());
    }
    state.SetLabel(state.range(1) == Smooth ? "smooth" : "noisy");
}

BENCHMARK(BM_ChartRebuild)
    ->ArgNames({"points", "noisy"})
    ->Args({1000, Smooth})
    ->Args({1000, Noisy})
    ->Args({10000, Smooth})
    ->Args({10000, Noisy})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
