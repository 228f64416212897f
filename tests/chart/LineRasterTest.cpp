#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "ThinLineRaster.h"
#include "WideLineRaster.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

class CollectingSink : public SpanSink {
public:
    void Span(int y, int x0, int x1) override {
        for (int x = x0; x < x1; ++x) pixels.insert({x, y});
    }
    Pixels pixels;
};

const ChartRect kClip{0, 0, 200, 200};

Pixels Segment(ChartPoint a, ChartPoint b, int width = 2, ChartRect clip = kClip) {
    CollectingSink sink;
    WideLineRaster(width, clip).Segment(a, b, sink);
    return sink.pixels;
}

Pixels Rect(int left, int top, int right, int bottom) {
    Pixels p;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) p.insert({x, y});
    }
    return p;
}

TEST(WideLine, TwoPixelVerticalLineCoversTwoColumnsAndOneRowBeyondEachEnd) {
    EXPECT_EQ(Segment({50, 20}, {50, 30}), Rect(49, 19, 51, 31));
    EXPECT_EQ(Segment({50, 30}, {50, 20}), Rect(49, 19, 51, 31));
}

TEST(WideLine, TwoPixelHorizontalLineCoversTwoRows) {
    EXPECT_EQ(Segment({20, 50}, {30, 50}), Rect(19, 49, 31, 51));
}

TEST(WideLine, PointOfWidthTwoIsATwoByTwoSquare) {
    EXPECT_EQ(Segment({10, 10}, {10, 10}), Rect(9, 9, 11, 11));
}

TEST(WideLine, DirectionDoesNotMatter) {
    EXPECT_EQ(Segment({10, 20}, {90, 57}), Segment({90, 57}, {10, 20}));
    EXPECT_EQ(Segment({10, 20}, {13, 180}, 5), Segment({13, 180}, {10, 20}, 5));
}

TEST(WideLine, ClipBoundsEveryRowAndColumn) {
    const Pixels clipped = Segment({-1000000, 50}, {1000000, 60}, 2, {10, 10, 20, 100});
    ASSERT_FALSE(clipped.empty());
    for (const auto& [x, y] : clipped) {
        EXPECT_GE(x, 10);
        EXPECT_LT(x, 20);
    }
}

TEST(WideLine, FarAwayPointsCostOnlyTheRowsInTheClip) {
    const Pixels p = Segment({100, -2000000000}, {100, 2000000000});
    EXPECT_EQ(p, Rect(99, 0, 101, 200));
}

// Drawing a polyline in one go, with its runs along a row or a column merged,
// must give exactly the pixels of its segments drawn one by one.
TEST(WideLine, PolylineIsExactlyTheUnionOfItsSegments) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        const int width = 2 + trial % 4;
        std::uniform_int_distribution<int> coordinate(-20, 220);
        std::uniform_int_distribution<int> step(0, 3);
        std::vector<ChartPoint> points;
        ChartPoint p{coordinate(random), coordinate(random)};
        for (int i = 0; i < 60; ++i) {
            // Plenty of repeated columns and rows, as dense traces have.
            switch (step(random)) {
                case 0:
                    p.y = coordinate(random);
                    break;
                case 1:
                    p.x = coordinate(random);
                    break;
                case 2:
                    p = {coordinate(random), coordinate(random)};
                    break;
                default:
                    break;
            }
            points.push_back(p);
        }
        const WideLineRaster raster(width, kClip);
        CollectingSink merged, single;
        raster.Polyline(points.data(), static_cast<int>(points.size()), merged);
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            raster.Segment(points[i], points[i + 1], single);
        }
        ASSERT_EQ(merged.pixels, single.pixels) << "trial " << trial;
    }
}

// The back buffer's direct path takes shortcuts for steep narrow lines; it
// must paint exactly the pixels the general path reports, at every width and
// also where the line leaves the clip.
TEST(WideLine, DirectPixelPathPaintsWhatTheSpansSay) {
    std::mt19937 random(11);
    constexpr int kSize = 64;
    const ChartRect clip{4, 6, 60, 58};
    std::uniform_int_distribution<int> coordinate(-10, kSize + 10);
    for (int trial = 0; trial < 2000; ++trial) {
        const int width = 1 + trial % 4;
        std::vector<ChartPoint> points;
        for (int i = 0; i < 8; ++i) {
            // Mostly steep steps of a column or two, as noisy traces have.
            const int x =
                points.empty() || trial % 3 == 0 ? coordinate(random) : points.back().x + 1 + i % 2;
            points.push_back({x, coordinate(random)});
        }
        const WideLineRaster raster(width, clip);
        // The first segment alone too: in a whole trace its neighbours would
        // cover a pixel it failed to paint.
        for (const int count : {2, static_cast<int>(points.size())}) {
            CollectingSink spans;
            raster.Polyline(points.data(), count, spans);

            std::vector<std::uint32_t> bits(kSize * kSize, 0);
            raster.Polyline(points.data(), count, PixelSpanSink{bits.data(), kSize, 1u});
            Pixels painted;
            for (int y = 0; y < kSize; ++y) {
                for (int x = 0; x < kSize; ++x) {
                    if (bits[y * kSize + x]) painted.insert({x, y});
                }
            }
            ASSERT_EQ(painted, spans.pixels) << "trial " << trial << ", " << count << " points";
        }
    }
}

TEST(WideLine, PolylineOfFewerThanTwoPointsDrawsNothing) {
    CollectingSink sink;
    const ChartPoint one[] = {{5, 5}};
    WideLineRaster(2, kClip).Polyline(one, 1, sink);
    EXPECT_TRUE(sink.pixels.empty());
}

}  // namespace

namespace {

Pixels Thin(ChartPoint a, ChartPoint b, ChartRect clip = kClip) {
    CollectingSink sink;
    ThinLineRaster(clip).Segment(a, b, sink);
    return sink.pixels;
}

TEST(ThinLine, PaintsTheFirstPointAndLeavesOutTheLastInEveryDirection) {
    const ChartPoint centre{100, 100};
    for (const ChartPoint end : {ChartPoint{150, 120}, ChartPoint{40, 110}, ChartPoint{90, 20},
                                 ChartPoint{130, 190}, ChartPoint{100, 60}, ChartPoint{20, 100}}) {
        const Pixels p = Thin(centre, end);
        EXPECT_EQ(p.count({centre.x, centre.y}), 1u) << end.x << "," << end.y;
        EXPECT_EQ(p.count({end.x, end.y}), 0u) << end.x << "," << end.y;
        const int major = std::max(std::abs(end.x - centre.x), std::abs(end.y - centre.y));
        EXPECT_EQ(p.size(), std::size_t(major)) << "one pixel per step along the longer axis";
    }
}

TEST(ThinLine, VerticalLineFromTenToTwentyPaintsTenToNineteen) {
    Pixels expected;
    for (int y = 10; y < 20; ++y) expected.insert({10, y});
    EXPECT_EQ(Thin({10, 10}, {10, 20}), expected);
}

TEST(ThinLine, ClippingKeepsThePixelsOfTheWholeLine) {
    const Pixels whole = Thin({-50, -30}, {180, 170}, {-100, -100, 300, 300});
    const ChartRect clip{20, 10, 90, 120};
    Pixels inside;
    for (const auto& [x, y] : whole) {
        if (clip.Contains({x, y})) inside.insert({x, y});
    }
    EXPECT_EQ(Thin({-50, -30}, {180, 170}, clip), inside);
}

TEST(ThinLine, FarAwayEndsCostOnlyTheClip) {
    const Pixels p = Thin({-2000000000, 50}, {2000000000, 50});
    EXPECT_EQ(p.size(), 200u);
}

}  // namespace
