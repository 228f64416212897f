#include <gtest/gtest.h>

#include "LiveReadout.h"

namespace {

TEST(LiveReadoutTexts, StartAtZeroWithTwoDecimals) {
    LiveReadout r;
    const auto t = r.Tick(0, "0");
    EXPECT_EQ(t.rate, "0HZ");
    EXPECT_EQ(t.temperature, "0.00Celsius");
    EXPECT_EQ(t.xValue, "0.00deg");
    EXPECT_EQ(t.xVpp, "0.0000deg");
    EXPECT_EQ(t.miscount, "0");
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
