#include <gtest/gtest.h>

#include <vector>

#include "ChartPointStore.h"
#include "ChartTestSupport.h"

namespace {

std::vector<double> Xs(const CChartPointStore& store) {
    std::vector<double> xs;
    for (unsigned i = 0; i < store.Count(); ++i) xs.push_back(store[i].X);
    return xs;
}

TEST(PointStore, XOrderingInsertsInPlaceAndKeepsEqualKeysInArrivalOrder) {
    CChartPointStore store;
    store.Add({5, 0, 0});
    store.Add({1, 0, 0});
    store.Add({3, 1, 0});
    store.Add({3, 2, 0});
    EXPECT_EQ(Xs(store), (std::vector<double>{1, 3, 3, 5}));
    EXPECT_EQ(store[1].Y, 1);
    EXPECT_EQ(store[2].Y, 2);  // the later 3
}

TEST(PointStore, YOrderingSortsOnY) {
    CChartPointStore store;
    store.SetOrdering(YOrdering);
    store.Add({0, 9, 0});
    store.Add({1, 2, 0});
    store.Add({2, 5, 0});
    EXPECT_EQ(Xs(store), (std::vector<double>{1, 2, 0}));
}

TEST(PointStore, NoOrderingKeepsArrivalOrder) {
    CChartPointStore store;
    store.SetOrdering(NoOrdering);
    for (double x : {5, 1, 3, 3}) store.Add({x, 0, 0});
    EXPECT_EQ(Xs(store), (std::vector<double>{5, 1, 3, 3}));
}

TEST(PointStore, SetOrderingSortsThePointsInUse) {
    CChartPointStore store;
    store.SetOrdering(NoOrdering);
    for (double x : {5, 1, 3}) store.Add({x, -x, 0});
    store.SetOrdering(YOrdering);
    EXPECT_EQ(Xs(store), (std::vector<double>{5, 3, 1}));
    store.SetOrdering(XOrdering);
    EXPECT_EQ(Xs(store), (std::vector<double>{1, 3, 5}));
}

TEST(PointStore, GrowsByAThousandWhenFull) {
    CChartPointStore store;
    EXPECT_EQ(store.Capacity(), 1000u);
    for (int i = 0; i < 1000; ++i) store.Add({double(i), 0, 0});
    EXPECT_EQ(store.Capacity(), 1000u);
    store.Add({1000, 0, 0});
    EXPECT_EQ(store.Capacity(), 2000u);
    EXPECT_EQ(store[999].X, 999);
    EXPECT_EQ(store[1000].X, 1000);
}

TEST(PointStore, RangesCoverEveryPointAndAreAbsentWhileEmpty) {
    CChartPointStore store;
    double lo = 7, hi = 7;
    EXPECT_FALSE(store.XRange(lo, hi));
    EXPECT_EQ(lo, 7);
    store.Add({2, -1, 0});
    store.Add({-4, 6, 0});
    ASSERT_TRUE(store.XRange(lo, hi));
    EXPECT_EQ(lo, -4);
    EXPECT_EQ(hi, 2);
    ASSERT_TRUE(store.YRange(lo, hi));
    EXPECT_EQ(lo, -1);
    EXPECT_EQ(hi, 6);
}

TEST(PointStore, SearchLandsNextToTheValuesPlace) {
    CChartPointStore store;
    for (int i = 0; i < 10; ++i) store.Add({double(i * 10), 0, 0});
    EXPECT_EQ(store.Search(35, 0, 9), 3u);  // last key not above
    EXPECT_EQ(store.Search(-5, 0, 9), 0u);
    EXPECT_EQ(store.Search(500, 0, 9), 9u);
    const unsigned i = store.Search(40, 0, 9);
    EXPECT_TRUE(i == 4u || i == 5u);
}

TEST(XYSerie, AddPointsMakesRoomForExactlyTheNewPoints) {
    CChartLineSerie serie(nullptr);
    std::vector<double> x(1500), y(1500);
    for (int i = 0; i < 1500; ++i) x[i] = i;
    serie.AddPoints(x.data(), y.data(), 1500);
    EXPECT_EQ(serie.GetCapacity(), 1500u);
    EXPECT_EQ(serie.GetPointsCount(), 1500u);
    EXPECT_EQ(serie.GetPoint(1499).Extra, 0u);
}

TEST(XYSerie, HiddenOrEmptySerieReportsNoRange) {
    CChartLineSerie serie(nullptr);
    double lo, hi;
    EXPECT_FALSE(serie.GetYRange(lo, hi));
    const double x[] = {1, 2}, y[] = {3, 4};
    serie.AddPoints(x, y, 2);
    EXPECT_TRUE(serie.GetYRange(lo, hi));
    serie.SetVisible(false);
    EXPECT_FALSE(serie.GetYRange(lo, hi));
    EXPECT_FALSE(serie.GetXRange(lo, hi));
}

TEST(XYSerie, NoOrderingShowsEveryPointWhateverTheRanges) {
    CChartLineSerie serie(nullptr);
    serie.SetOrdering(NoOrdering);
    const double x[] = {9, -100, 4}, y[] = {0, 0, 0};
    serie.AddPoints(x, y, 3);
    unsigned first = 99, last = 99;
    ASSERT_TRUE(serie.FindVisiblePoints(first, last));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 2u);
}

TEST(XYSerie, VisibleRangesNeedTheMatchingOrdering) {
    CChartStandardAxis horizontal;
    horizontal.SetPixelSpan(0, 100);
    CChartLineSerie serie(nullptr);
    serie.SetAxes(nullptr, &horizontal);
    const double x[] = {0, 1, 2}, y[] = {5, 6, 7};
    serie.AddPoints(x, y, 3);
    double lo, hi;
    EXPECT_FALSE(serie.GetVisibleXRange(lo, hi));  // ordered by X, not Y
    serie.SetOrdering(NoOrdering);
    EXPECT_FALSE(serie.GetVisibleYRange(lo, hi));
    serie.SetAxes(nullptr, nullptr);
}

}  // namespace
