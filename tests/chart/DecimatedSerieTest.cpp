#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "ChartDecimatedSerie.h"
#include "ChartTestSupport.h"
#include "MinMaxPyramid.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr Color kRed = MakeColor(255, 0, 0);

// Time 0..maxTime over pixels 0..1000 (x = floor(1000 t / maxTime)), values
// 0..1000 over pixels 1000..0 (y = 1000 - value).
class DecimatedSerieTest : public ::testing::Test {
protected:
    DecimatedSerieTest() {
        horizontal_.SetHorizontal(true);
        horizontal_.SetPixelSpan(0, 1000);
        vertical_.SetHorizontal(false);
        vertical_.SetPixelSpan(1000, 0);
    }
    QImage Draw(double maxTime) {
        CChartDecimatedSerie serie(nullptr, {time_.data(), value_.data(), time_.size(), nullptr});
        serie.SetAxes(&vertical_, &horizontal_);
        horizontal_.RegisterSerie(&serie);
        vertical_.RegisterSerie(&serie);
        horizontal_.SetAutoMode(CChartAxis::AllPoints);
        vertical_.SetAutoMode(CChartAxis::AllPoints);
        horizontal_.SetVisibleRange(0, maxTime);
        vertical_.SetVisibleRange(0, 1000);
        serie.AssignColor(kRed);
        serie.SetPlottingRect({0, 0, 1001, 1001});
        auto surface = MakeImage(1001, 1001);
        surface->FillRect({0, 0, 1001, 1001}, {MakeColor(255, 255, 255)});
        serie.DrawAll(*surface);
        return surface->Image();
    }
    std::vector<int> RedColumnsInRow(const QImage& image, int y) {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            if (IsColor(image.pixel(x, y), kRed)) columns.push_back(x);
        }
        return columns;
    }
    CChartStandardAxis horizontal_;
    CChartStandardAxis vertical_;
    std::vector<int64_t> time_;
    std::vector<double> value_;
};

TEST_F(DecimatedSerieTest, SingleSampleSpikeAmongAMillionSurvives) {
    for (int64_t i = 0; i < 1000000; ++i) {
        time_.push_back(i);
        value_.push_back(i == 543210 ? 900 : 100);
    }
    const QImage image = Draw(1000000);
    // The spike's column is floor(1000 * 543210 / 1e6) = 543; 900 is row 100.
    EXPECT_EQ(RedColumnsInRow(image, 100), std::vector<int>({543}));
    EXPECT_EQ(RedColumnsInRow(image, 99), std::vector<int>());
    // The flat part, value 100, is row 900 from column 0 to 998 (the last
    // sample, column 999, ends the line and a line never paints its end).
    EXPECT_EQ(RedColumnsInRow(image, 900).size(), 999u);
}

TEST_F(DecimatedSerieTest, GapsAndValuesNeverSentBreakTheLine) {
    // 5 Hz for 10 s, nothing for 10 s, 5 Hz again for 10 s with one value never sent.
    for (int64_t t = 0; t <= 30000; t += 200) {
        if (t > 10000 && t < 20000) continue;
        time_.push_back(t);
        value_.push_back(t == 25000 ? kNaN : 500);
    }
    const std::vector<int> red = RedColumnsInRow(Draw(30000), 500);
    auto drawn = [&red](int x) { return std::find(red.begin(), red.end(), x) != red.end(); };
    // The line ending at 10 s (column 333) stops before it; the one from 20 s
    // (column 666) starts there: nothing between.
    EXPECT_TRUE(drawn(332));
    EXPECT_TRUE(drawn(666));
    for (int x = 333; x < 666; ++x) EXPECT_FALSE(drawn(x)) << x;
    // 24.8 s is column 826 and 25.2 s column 840; the missing value between is not bridged.
    EXPECT_TRUE(drawn(825));
    EXPECT_TRUE(drawn(840));
    for (int x = 826; x < 840; ++x) EXPECT_FALSE(drawn(x)) << x;
}

TEST(SampleRunsTest, GapIsFiveMedianStepsAndAtLeastTwoSeconds) {
    const std::vector<int64_t> slow = {0, 1000, 2000, 3000, 7900, 8900, 14000};
    EXPECT_EQ(GapThresholdMs(slow.data(), slow.size()), 5000);
    const std::vector<int64_t> fast = {0, 200, 400, 600, 2600, 2800};
    EXPECT_EQ(GapThresholdMs(fast.data(), fast.size()), 2000);
    const std::vector<double> v(7, 1.0);
    const auto runs = FindSampleRuns(slow.data(), v.data(), slow.size(), 5000);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].last, 6u);
    EXPECT_EQ(runs[1].first, 6u);
}

TEST(MinMaxPyramidTest, AnyRangeGivesTheExtremesOfItsValues) {
    std::mt19937 random(29);
    std::uniform_real_distribution<double> value(-1000, 1000);
    std::vector<double> v(5000);
    for (size_t i = 0; i < v.size(); ++i) v[i] = i % 17 == 3 ? kNaN : value(random);
    const MinMaxPyramid pyramid(v.data(), v.size());
    std::uniform_int_distribution<size_t> index(0, v.size());
    for (int n = 0; n < 500; ++n) {
        size_t a = index(random), b = index(random);
        if (a > b) std::swap(a, b);
        double lo = INFINITY, hi = -INFINITY;
        for (size_t i = a; i < b; ++i) {
            if (std::isnan(v[i])) continue;
            lo = std::min(lo, v[i]);
            hi = std::max(hi, v[i]);
        }
        double min = 0, max = 0;
        ASSERT_EQ(pyramid.RangeMinMax(a, b, min, max), lo <= hi) << a << ".." << b;
        if (lo <= hi) {
            EXPECT_EQ(min, lo) << a << ".." << b;
            EXPECT_EQ(max, hi) << a << ".." << b;
        }
    }
}

}  // namespace
