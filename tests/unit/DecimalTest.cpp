// Decimal digits as operators type them, wherever a number is read.

#include <gtest/gtest.h>

#include "Decimal.h"

namespace {

TEST(Decimal, ADigitAboveASmallMaximumIsRefused) {
    uint64_t v = 7;
    EXPECT_FALSE(ParseDecimal("5", 1, v));
    EXPECT_FALSE(ParseDecimal("3", 2, v));
    EXPECT_EQ(v, 7u);
    EXPECT_TRUE(ParseDecimal("2", 2, v));
    EXPECT_EQ(v, 2u);
}

}  // namespace
