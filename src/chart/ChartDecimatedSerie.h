#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ChartSerie.h"
#include "MinMaxPyramid.h"
#include "SampleRuns.h"

// The samples of one trace in time order (milliseconds since the epoch), as
// the chart reads them. The columns are not copied; `owner` keeps them alive.
struct TimedSamples {
    const int64_t* time = nullptr;
    const double* value = nullptr;
    size_t count = 0;
    std::shared_ptr<const void> owner;
};

class CChartDecimatedSerie;

// Told of a left click on a sample of a decimated serie.
class DecimatedSerieListener {
public:
    virtual ~DecimatedSerieListener() = default;
    virtual void SampleClicked(CChartDecimatedSerie& serie, size_t index) = 0;
};

// A line through millions of samples. Each pixel column draws the minimum and
// maximum of the samples that fall in it, so no peak disappears, read from a
// min/max pyramid, so a redraw at any range costs about the columns. The line
// breaks at gaps and at values never sent (SampleRuns).
class CChartDecimatedSerie : public CChartSerie {
public:
    CChartDecimatedSerie(CChartCore* parent, TimedSamples samples);

    unsigned GetPointsCount() const override { return static_cast<unsigned>(samples_.count); }
    ChartPoint PointToScreen(unsigned index) const override;
    bool GetYRange(double& min, double& max) const override;
    bool GetXRange(double& min, double& max) const override;
    bool GetVisibleXRange(double& min, double& max) const override;
    bool GetVisibleYRange(double& min, double& max) const override;
    // index: the sample nearest the pointer within reach.
    bool HitTest(ChartPoint point, unsigned& index) const override;
    bool FindVisiblePoints(unsigned& first, unsigned& last) const override;
    void DrawLegendSample(DrawSurface& surface, const ChartRect& rect) override;
    void DrawNew(DrawSurface& surface) override { DrawAll(surface); }
    void DrawAll(DrawSurface& surface) override;
    void DrawLabels(DrawSurface&) override {}
    bool OnMouseEvent(MouseEvent event, ChartPoint point) override;

    // Not owned; null removes it.
    void SetListener(DecimatedSerieListener* listener) { listener_ = listener; }
    int64_t TimeAt(size_t index) const { return samples_.time[index]; }
    double ValueAt(size_t index) const { return samples_.value[index]; }
    int64_t GapThreshold() const { return gapMs_; }
    const std::vector<SampleRun>& Runs() const { return runs_; }
    // Bytes the serie adds to its columns.
    size_t OwnBytes() const;

private:
    bool HasAxes() const { return GetVerticalAxis() && GetHorizontalAxis(); }
    int XPixel(size_t index) const;
    int YPixel(double value) const;
    // The samples inside the horizontal axis's range, [first, last).
    void VisibleSpan(size_t& first, size_t& last) const;
    // The first index in (from, last) whose column is not `column`; last if none.
    size_t EndOfColumn(size_t from, size_t last, int column) const;
    void DrawRun(DrawSurface& surface, size_t first, size_t last);

    TimedSamples samples_;
    MinMaxPyramid pyramid_;
    int64_t gapMs_;
    std::vector<SampleRun> runs_;
    DecimatedSerieListener* listener_ = nullptr;
    // Reused between draws: a redraw allocates nothing.
    std::vector<ChartPoint> pixels_;
};
