#include "LiveReadout.h"

#include "ValueText.h"

void LiveReadout::SetValueFormat(const std::string& format) {
    if (IsValueFormat(format)) format_ = format;
}

std::string LiveReadout::Apply(const std::string& format, double value) {
    return FormatValueText(format, value);
}

void LiveReadout::Format(const Measurement& m) {
    const std::string format = format_;
    xText_ = Apply(format, m.x);
    yText_ = Apply(format, m.y);
    tText_ = Apply(format, m.temperature);
}

void LiveReadout::SetXTraceRange(double minimum, double maximum) {
    xMin_ = minimum;
    xMax_ = maximum;
}

void LiveReadout::SetYTraceRange(double minimum, double maximum) {
    yMin_ = minimum;
    yMax_ = maximum;
}

LiveReadout::TickTexts LiveReadout::Tick(int framesThisSecond,
                                         const std::string& miscountText) const {
    TickTexts t;
    t.rate = std::to_string(framesThisSecond) + "HZ";
    t.temperature = tText_ + "Celsius";
    t.miscount = miscountText;
    t.xValue = xText_ + "deg";
    t.yValue = yText_ + "deg";
    t.xVpp = Apply("%.4f", xMax_ - xMin_) + "deg";
    t.yVpp = Apply("%.4f", yMax_ - yMin_) + "deg";
    return t;
}
