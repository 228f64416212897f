#pragma once

#include <string>

#include "DeviceTypes.h"
#include "ValueText.h"

// Timer 2 refreshes the readout once a second.
constexpr int kReadoutPeriodMs = 1000;

// The texts every measurement is shown, recorded and plotted with: one format
// for the screen, the chart readout and the CSV rows.
class LiveReadout {
public:
    // On screen in place of a value the sensor has never sent. No unit follows
    // it: "-Celsius" or "-deg" would read as a sign that lost its number.
    static constexpr const char* kNeverSent = "-";

    // What the once-a-second refresh writes, suffixes included.
    struct TickTexts {
        std::string rate;         // control 1022: "<n>HZ"
        std::string temperature;  // control 1030: "<t>Celsius", or kNeverSent
        std::string miscount;     // control 1029
        std::string xValue;       // list row 2: "<x>deg", or kNeverSent
        std::string yValue;
        std::string xVpp;  // list row 3: "%.4f" peak-to-peak + "deg", or kNeverSent
        std::string yVpp;
    };

    // Only "%.<0..6>f" is taken: the format comes from a settings file a user may edit.
    void SetValueFormat(const std::string& format);
    const std::string& ValueFormat() const { return format_; }

    // Takes the values the reply carried and formats the three once, with the
    // format of this moment; a value it lacks keeps its last reading.
    void Format(const Measurement& m);
    // The CSV texts: empty for a value the sensor has never sent.
    const std::string& XValueText() const { return xText_; }
    const std::string& YValueText() const { return yText_; }
    const std::string& TemperatureText() const { return tText_; }

    // The ranges of the traces as last plotted; a hidden or empty trace keeps
    // its last. Until a trace has a range its peak-to-peak shows kNeverSent.
    void SetXTraceRange(double minimum, double maximum);
    void SetYTraceRange(double minimum, double maximum);

    TickTexts Tick(int framesThisSecond, const std::string& miscountText) const;

    static std::string Apply(const std::string& format, double value);

private:
    std::string format_ = "%.2f";
    KeptValue x_, y_, temperature_;
    std::string xText_;
    std::string yText_;
    std::string tText_;
    double xMin_ = 0, xMax_ = 0, yMin_ = 0, yMax_ = 0;
    bool xPlotted_ = false, yPlotted_ = false;
};
