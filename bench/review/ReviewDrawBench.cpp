// The review window over recordings: the wall time from opening the files to
// the first drawn chart, the redraw time at full range and zoomed (pan steps
// of a one-hour range), and the peak resident memory per million rows
// (getrusage, so one opening per process). Offscreen, 1000 x 640.
//
//   review_draw_bench FILE...

#include <sys/resource.h>

#include <QApplication>
#include <QFont>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ChartClockAxis.h"
#include "ChartCtrl.h"
#include "ReviewChart.h"
#include "ReviewWnd.h"

namespace {

using Steady = std::chrono::steady_clock;

double Since(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Median and worst of `runs` full redraws of the chart, in ms.
void TimeRedraws(CChartCtrl& chart, int runs, const std::function<void(int)>& before,
                 double& median, double& worst) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        before(i);
        const auto start = Steady::now();
        chart.Refresh();
        times.push_back(Since(start));
    }
    std::sort(times.begin(), times.end());
    median = times[times.size() / 2];
    worst = times.back();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("Microsoft Sans Serif"),
                              QStringLiteral("Liberation Sans"));
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) paths.emplace_back(argv[i]);
    if (paths.empty()) {
        std::fputs("usage: review_draw_bench FILE...\n", stderr);
        return 2;
    }

    const auto open = Steady::now();
    CReviewWnd review(paths, Language::English, "/tmp");
    review.setAttribute(Qt::WA_DeleteOnClose, false);
    review.resize(1000, 640);
    review.show();
    review.StartLoading();
    while (!review.IsLoaded()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    review.Chart()->Refresh();
    review.Chart()->repaint();
    const double openMs = Since(open);

    size_t rows = 0;
    for (const RecordedTrace& t : review.Loaded()->traces) rows += t.Size();
    CChartCtrl& chart = *review.Chart();
    CChartClockAxis& bottom = *review.Traces().Bottom();
    const double from = bottom.GetMin(), to = bottom.GetMax();

    double fullMedian, fullWorst, zoomMedian, zoomWorst;
    TimeRedraws(
        chart, 20, [](int) {}, fullMedian, fullWorst);
    // A one-hour range panned in steps across the middle of the recording.
    const double hour = 3600e3, middle = (from + to) / 2;
    TimeRedraws(
        chart, 20,
        [&](int i) {
            bottom.SetVisibleRange(middle + i * hour / 10, middle + i * hour / 10 + hour);
        },
        zoomMedian, zoomWorst);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double peakMiB = usage.ru_maxrss / 1024.0;
    std::printf(
        "%zu files, %zu rows: open and draw %.0f ms; redraw full range %.1f ms "
        "(worst %.1f), one hour zoomed %.1f ms (worst %.1f); peak RSS %.1f MiB, "
        "%.1f MiB per million rows\n",
        paths.size(), rows, openMs, fullMedian, fullWorst, zoomMedian, zoomWorst, peakMiB,
        rows ? peakMiB / (rows / 1e6) : 0.0);
    return 0;
}
