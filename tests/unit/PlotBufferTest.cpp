#include <gtest/gtest.h>

#include "PlotBuffer.h"

namespace {

TEST(PlotBufferWindow, StartsEmptyAndHoldsOnlyWhatArrived) {
    PlotBuffer b;
    EXPECT_EQ(b.Available(1000), 0u);
    b.Append(1, 2);
    b.Append(3, 4);
    EXPECT_EQ(b.Available(1000), 2u);
    EXPECT_EQ(b.Available(1), 1u);
    EXPECT_EQ(b.Newest(PlotBuffer::kX, 1000)[0], 1);
    EXPECT_EQ(b.Newest(PlotBuffer::kY, 1000)[1], 4);
}

TEST(PlotBufferWindow, NewestSamplesComeLastOldestFirst) {
    PlotBuffer b;
    for (int i = 1; i <= 7; ++i) b.Append(i, -i);
    const double* x = b.Newest(PlotBuffer::kX, 5);
    const double* y = b.Newest(PlotBuffer::kY, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(x[i], 3 + i);
        EXPECT_EQ(y[i], -(3 + i));
    }
}

TEST(PlotBufferWindow, SlidesAcrossTheWrapWithoutLosingOrder) {
    PlotBuffer b;
    for (int i = 0; i < 1000; ++i) b.Append(i, 0);
    EXPECT_EQ(b.WindowStart(), 0u);  // wrapped exactly once
    const double* x = b.Newest(PlotBuffer::kX, 1000);
    EXPECT_EQ(x[0], 0);
    EXPECT_EQ(x[999], 999);
    b.Append(1000, 0);  // the 1001st drops the first
    x = b.Newest(PlotBuffer::kX, 1000);
    EXPECT_EQ(x[0], 1);
    EXPECT_EQ(x[999], 1000);
    for (int i = 1001; i < 3456; ++i) b.Append(i, 0);
    x = b.Newest(PlotBuffer::kX, 1000);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(x[i], 2456 + i);
}

TEST(PlotBufferWindow, SnapshotIsACopy) {
    PlotBuffer live;
    live.Append(1, 2);
    const PlotBuffer frozen = live;
    live.Append(3, 4);
    EXPECT_EQ(frozen.Newest(PlotBuffer::kX, 1)[0], 1);
    EXPECT_EQ(live.Newest(PlotBuffer::kX, 1)[0], 3);
}

TEST(PlotBufferSlider, FiftyPerStepOfFiveAtLeastFive) {
    const std::pair<int, unsigned> cases[] = {{0, 5},    {4, 5},    {5, 50},     {9, 50},
                                              {10, 100}, {99, 950}, {100, 1000}, {-3, 5}};
    for (const auto& [position, count] : cases)
        EXPECT_EQ(PointCountForSlider(position), count) << position;
}

}  // namespace
