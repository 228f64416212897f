// tiltsim's queue of frames waiting for the line: pieces, partial writes, drops.

#include <gtest/gtest.h>

#include "FrameQueue.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrameQueue, SplitFrameLeavesInThreeBytePiecesWithAPauseBetween) {
    FrameQueue queue(true);
    queue.Push({1, 2, 3, 4, 5, 6, 7}, 9600, 'N');
    EXPECT_EQ(queue.Frames(), 1u);
    EXPECT_EQ(queue.Front().bytes, (Bytes{1, 2, 3}));
    EXPECT_FALSE(queue.Took(3, 10.0));
    EXPECT_DOUBLE_EQ(queue.FrontDue(), 10.002);
    EXPECT_EQ(queue.Front().bytes, (Bytes{4, 5, 6}));
    EXPECT_FALSE(queue.Took(3, 11.0));
    EXPECT_EQ(queue.Front().bytes, (Bytes{7}));
    EXPECT_TRUE(queue.Took(1, 12.0));
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Frames(), 0u);
}

TEST(FrameQueue, PartialWriteResumesWhereItStoppedAndEndsTheFrameOnce) {
    FrameQueue queue;
    queue.Push({1, 2, 3, 4, 5}, 19200, 'E', 0.5, 7);
    queue.Push({8, 9}, 19200, 'E');
    EXPECT_FALSE(queue.Took(2, 1.0));
    EXPECT_EQ(queue.Front().written, 2u);
    EXPECT_EQ(queue.FrontFrameBytes(), 3u);
    EXPECT_EQ(queue.Front().tag, 7);
    EXPECT_TRUE(queue.Took(3, 1.0));
    EXPECT_EQ(queue.FrontDue(), 0.0);
    EXPECT_EQ(queue.Frames(), 1u);
    EXPECT_EQ(queue.Front().bytes, (Bytes{8, 9}));
}

TEST(FrameQueue, DroppingTheFrontFrameLeavesTheNextWhole) {
    FrameQueue queue(true);
    queue.Push({1, 2, 3, 4, 5}, 9600, 'N');
    queue.Push({6, 7, 8, 9}, 9600, 'N');
    EXPECT_FALSE(queue.Took(3, 1.0));
    queue.DropFrontFrame();
    EXPECT_EQ(queue.Frames(), 1u);
    EXPECT_EQ(queue.FrontDue(), 0.0);
    EXPECT_EQ(queue.Front().bytes, (Bytes{6, 7, 8}));
    EXPECT_EQ(queue.FrontFrameBytes(), 4u);
    queue.Push({}, 9600, 'N');  // nothing made, nothing queued
    EXPECT_EQ(queue.Frames(), 1u);
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Frames(), 0u);
}

}  // namespace
