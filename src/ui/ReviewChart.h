#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ChartDecimatedSerie.h"
#include "DialogTemplate.h"
#include "Recording.h"

class CChartCore;
class CChartClockAxis;
class CChartStandardAxis;
class CChartLineSerie;

// The review window's chart: clock time along the bottom, degrees on the left,
// °C on the right, and for every sensor of a recording its X, Y and
// temperature traces, named by the sensor's address. A click on a trace
// shows the sample in a balloon.
class ReviewChart : public DecimatedSerieListener {
public:
    enum Quantity { kX = 0, kY = 1, kTemperature = 2 };
    struct Trace {
        CChartDecimatedSerie* serie;
        int address;
        Quantity quantity;
        const std::vector<uint8_t>* decimals;  // as each value was recorded
    };

    ReviewChart(CChartCore& chart, Language language);

    // Adds the recording's traces and shows all of it; the chart keeps it alive.
    void Show(std::shared_ptr<const Recording> recording);
    const std::vector<Trace>& Traces() const { return traces_; }
    // "X", "Y", "T" for a file of one sensor; "X@3" and so on for a bus.
    static std::string TraceName(int address, Quantity quantity);

    void ToggleAbscissa();
    void ToggleOrdinate();
    bool AbscissaShown() const { return abscissaShown_; }
    bool OrdinateShown() const { return ordinateShown_; }
    // Every trace of one quantity shown or hidden.
    void ToggleQuantity(Quantity quantity);
    bool QuantityShown(Quantity quantity) const { return shown_[quantity]; }
    // Whether the recording holds any value of it.
    bool HasQuantity(Quantity quantity) const;

    // The time shown, in milliseconds since the epoch.
    int64_t VisibleFromMs() const;
    int64_t VisibleToMs() const;
    // The middle of the time shown, where a new vertical ruler goes.
    double MiddleOfVisibleTime() const;

    // The balloon of a clicked sample, as `SampleClicked` writes it.
    std::string BalloonText(const Trace& trace, size_t index) const;
    void SampleClicked(CChartDecimatedSerie& serie, size_t index) override;
    // The single point that carries the balloon; null before the first click.
    CChartLineSerie* BalloonHolder() const { return balloonHolder_; }

    CChartClockAxis* Bottom() const { return bottom_; }
    CChartStandardAxis* Left() const { return left_; }
    CChartStandardAxis* Right() const { return right_; }

private:
    const Trace* Find(const CChartDecimatedSerie& serie) const;
    void ShowTemperatureAxis();
    void AddTrace(const std::shared_ptr<const Recording>& recording, const RecordedTrace& trace,
                  Quantity quantity);

    CChartCore& chart_;
    Language language_;
    CChartClockAxis* bottom_ = nullptr;
    CChartStandardAxis* left_ = nullptr;
    CChartStandardAxis* right_ = nullptr;
    std::vector<Trace> traces_;
    bool abscissaShown_ = true;
    bool ordinateShown_ = true;
    bool shown_[3] = {true, true, true};
    // The one balloon: a single-point line that carries it.
    CChartLineSerie* balloonHolder_ = nullptr;
};
