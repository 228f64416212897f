#include <gtest/gtest.h>

#include "LiveReadout.h"

namespace {

TEST(LiveReadoutTexts, StartWithADashForEveryValueAndZeroCounters) {
    LiveReadout r;
    const auto t = r.Tick(0, "0");
    EXPECT_EQ(t.rate, "0HZ");
    EXPECT_EQ(t.temperature, "-");
    EXPECT_EQ(t.xValue, "-");
    EXPECT_EQ(t.yValue, "-");
    EXPECT_EQ(t.xVpp, "-");  // nothing plotted yet
    EXPECT_EQ(t.yVpp, "-");
    EXPECT_EQ(t.miscount, "0");
}

TEST(LiveReadoutTexts, ValueNeverSentShowsADashAndHasAnEmptyCsvText) {
    LiveReadout r;
    EXPECT_EQ(r.XValueText(), "");
    EXPECT_EQ(r.YValueText(), "");
    EXPECT_EQ(r.TemperatureText(), "");
    Measurement m{1.25, -0.37, 0.0};
    m.hasTemperature = false;  // a sensor without temperature
    r.Format(m);
    EXPECT_EQ(r.XValueText(), "1.25");
    EXPECT_EQ(r.YValueText(), "-0.37");
    EXPECT_EQ(r.TemperatureText(), "");
    const auto t = r.Tick(1, "0");
    EXPECT_EQ(t.xValue, "1.25deg");
    EXPECT_EQ(t.yValue, "-0.37deg");
    EXPECT_EQ(t.temperature, "-");
}

TEST(LiveReadoutTexts, TemperatureOnceReceivedIsKeptByALaterFrameWithoutIt) {
    LiveReadout r;
    r.Format(Measurement{1.0, 2.0, 23.5});
    Measurement later{1.5, 2.5, 0.0};
    later.hasTemperature = false;
    r.Format(later);
    EXPECT_EQ(r.XValueText(), "1.50");
    EXPECT_EQ(r.TemperatureText(), "23.50");
    EXPECT_EQ(r.Tick(1, "0").temperature, "23.50Celsius");
    // The kept value follows a new format like the others.
    r.SetValueFormat("%.3f");
    r.Format(later);
    EXPECT_EQ(r.TemperatureText(), "23.500");
}

TEST(LiveReadoutTexts, AxisNeverSentStaysADashWhileTheOtherIsShown) {
    LiveReadout r;
    Measurement xOnly{0.05, 0.0, 0.0};
    xOnly.hasY = false;
    xOnly.hasTemperature = false;
    r.Format(xOnly);
    const auto t = r.Tick(1, "0");
    EXPECT_EQ(t.xValue, "0.05deg");
    EXPECT_EQ(t.yValue, "-");
    EXPECT_EQ(r.YValueText(), "");
}

TEST(LiveReadoutTexts, FormatChangeAppliesFromTheNextMeasurementOn) {
    LiveReadout r;
    r.Format(Measurement{1.23456, -0.5, 23.5});
    r.SetValueFormat("%.3f");
    EXPECT_EQ(r.XValueText(), "1.23");  // already formatted: keeps its decimals
    r.Format(Measurement{1.23456, -0.5, 23.5});
    EXPECT_EQ(r.XValueText(), "1.235");
    EXPECT_EQ(r.YValueText(), "-0.500");
    const auto t = r.Tick(50, "3");
    EXPECT_EQ(t.rate, "50HZ");
    EXPECT_EQ(t.temperature, "23.500Celsius");
    EXPECT_EQ(t.yValue, "-0.500deg");
    EXPECT_EQ(t.miscount, "3");
}

TEST(LiveReadoutTexts, PeakToPeakAlwaysHasFourDecimals) {
    LiveReadout r;
    r.SetValueFormat("%.2f");
    r.SetXTraceRange(-1.25, 2.5);
    r.SetYTraceRange(3.0, 3.0);  // a flat trace
    const auto t = r.Tick(0, "0");
    EXPECT_EQ(t.xVpp, "3.7500deg");
    EXPECT_EQ(t.yVpp, "0.0000deg");
}

TEST(LiveReadoutTexts, OnlyFixedPointFormatsAreTaken) {
    LiveReadout r;
    for (const char* bad : {"%s", "%n", "%.7f", "%d", "", "%.2f%s"}) {
        r.SetValueFormat(bad);
        EXPECT_EQ(r.ValueFormat(), "%.2f") << bad;
    }
    EXPECT_EQ(LiveReadout::Apply("%s", 1.5), "1.50");
    r.Format(Measurement{1e300, 0, 0});  // no overflow, whatever the value
    EXPECT_FALSE(r.XValueText().empty());
}

}  // namespace
