#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ScaleMap.h"

namespace {

ScaleMap Horizontal(double min, double max, int start, int end, bool inverted = false) {
    ScaleMap m;
    m.SetHorizontal(true);
    m.SetInverted(inverted);
    m.SetRange(min, max);
    m.SetSpan(start, end);
    return m;
}

ScaleMap Vertical(double min, double max, int start, int end, bool inverted = false) {
    ScaleMap m = Horizontal(min, max, start, end, inverted);
    m.SetHorizontal(false);
    return m;
}

TEST(ScaleMap, HorizontalValuesGrowRightwards) {
    const ScaleMap m = Horizontal(0, 100, 50, 550);
    EXPECT_EQ(m.ValueToPixel(0), 50);
    EXPECT_EQ(m.ValueToPixel(50), 300);
    EXPECT_EQ(m.ValueToPixel(100), 550);
    EXPECT_EQ(m.ValueToPixel(0.3), 51);  // floor of 1.5
}

TEST(ScaleMap, VerticalValuesGrowUpwards) {
    const ScaleMap m = Vertical(-1, 1, 300, 100);
    EXPECT_EQ(m.ValueToPixel(-1), 300);
    EXPECT_EQ(m.ValueToPixel(0), 200);
    EXPECT_EQ(m.ValueToPixel(1), 100);
}

TEST(ScaleMap, InvertedAxesRunFromTheOtherEnd) {
    EXPECT_EQ(Horizontal(0, 100, 50, 550, true).ValueToPixel(0), 550);
    EXPECT_EQ(Horizontal(0, 100, 50, 550, true).ValueToPixel(100), 50);
    EXPECT_EQ(Vertical(0, 100, 300, 100, true).ValueToPixel(0), 100);
    EXPECT_EQ(Vertical(0, 100, 300, 100, true).PixelToValue(300), 100);
}

TEST(ScaleMap, PixelToValueInvertsValueToPixel) {
    const ScaleMap h = Horizontal(0, 100, 0, 500);
    EXPECT_DOUBLE_EQ(h.PixelToValue(250), 50);
    EXPECT_DOUBLE_EQ(h.PixelToValue(10) - h.PixelToValue(0), 2);
    const ScaleMap v = Vertical(-1, 1, 300, 100);
    EXPECT_DOUBLE_EQ(v.PixelToValue(100), 1);
    EXPECT_DOUBLE_EQ(v.PixelToValue(250), -0.5);
}

TEST(ScaleMap, EmptyRangeMapsEveryPixelToMin) {
    EXPECT_EQ(Horizontal(3, 3, 0, 500).PixelToValue(123), 3);
}

TEST(ScaleMap, ZeroPixelSpanMapsEveryPixelToMinNotInfinity) {
    const ScaleMap m = Horizontal(0, 100, 40, 40);
    EXPECT_EQ(m.PixelToValue(40), 0);
    EXPECT_EQ(m.PixelToValue(90), 0);
    EXPECT_TRUE(std::isfinite(Vertical(0, 1, 7, 7).PixelToValue(0)));
}

TEST(ScaleMap, MiddleOfTheSpanForBothDirections) {
    EXPECT_EQ(Horizontal(0, 0, 50, 551).MiddlePixel(), 300);
    EXPECT_EQ(Vertical(0, 0, 300, 100).MiddlePixel(), 200);
}

TEST(ScaleMap, FarAndInvalidValuesStillGiveAPixel) {
    const ScaleMap m = Horizontal(0, 1, 0, 1000);
    EXPECT_GT(m.ValueToPixel(1e300), 1000);
    EXPECT_LT(m.ValueToPixel(-1e300), 0);
    m.ValueToPixel(std::numeric_limits<double>::quiet_NaN());  // defined, whatever it is
}

TEST(ScaleMap, SpanEndsAreOnTheSpan) {
    const ScaleMap h = Horizontal(0, 1, 10, 20);
    EXPECT_TRUE(h.IsPixelOnSpan(10));
    EXPECT_TRUE(h.IsPixelOnSpan(20));
    EXPECT_FALSE(h.IsPixelOnSpan(21));
    const ScaleMap v = Vertical(0, 1, 20, 10);
    EXPECT_TRUE(v.IsPixelOnSpan(10));
    EXPECT_TRUE(v.IsPixelOnSpan(20));
    EXPECT_FALSE(v.IsPixelOnSpan(9));
}

}  // namespace
