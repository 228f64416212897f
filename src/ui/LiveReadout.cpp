#include "LiveReadout.h"

void LiveReadout::SetValueFormat(const std::string& format) {
    if (IsValueFormat(format)) format_ = format;
}

std::string LiveReadout::Apply(const std::string& format, double value) {
    return FormatValueText(format, value);
}

void LiveReadout::Format(const Measurement& m) {
    const std::string format = format_;
    x_.Take(m.hasX, m.x);
    y_.Take(m.hasY, m.y);
    temperature_.Take(m.hasTemperature, m.temperature);
    xText_ = x_.Text(format);
    yText_ = y_.Text(format);
    tText_ = temperature_.Text(format);
}

void LiveReadout::SetXTraceRange(double minimum, double maximum) {
    xMin_ = minimum;
    xMax_ = maximum;
    xPlotted_ = true;
}

void LiveReadout::SetYTraceRange(double minimum, double maximum) {
    yMin_ = minimum;
    yMax_ = maximum;
    yPlotted_ = true;
}

LiveReadout::TickTexts LiveReadout::Tick(int framesThisSecond,
                                         const std::string& miscountText) const {
    TickTexts t;
    t.rate = std::to_string(framesThisSecond) + "HZ";
    const auto shown = [](const KeptValue& v, const std::string& text, const char* unit) {
        return v.Received() ? text + unit : std::string(kNeverSent);
    };
    t.temperature = shown(temperature_, tText_, "Celsius");
    t.miscount = miscountText;
    t.xValue = shown(x_, xText_, "deg");
    t.yValue = shown(y_, yText_, "deg");
    const auto vpp = [](bool plotted, double minimum, double maximum) {
        return plotted ? Apply("%.4f", maximum - minimum) + "deg" : std::string(kNeverSent);
    };
    t.xVpp = vpp(xPlotted_, xMin_, xMax_);
    t.yVpp = vpp(yPlotted_, yMin_, yMax_);
    return t;
}
