// The bus address list as an operator types it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AddressList.h"

namespace {

using Addresses = std::vector<uint8_t>;

Addresses Parsed(const std::string& text) {
    Addresses out;
    std::string error;
    EXPECT_TRUE(ParseAddressList(text, out, error)) << text << ": " << error;
    EXPECT_TRUE(error.empty());
    return out;
}

// The error text, which must name the offending part.
std::string Refused(const std::string& text) {
    Addresses out{99};
    std::string error;
    EXPECT_FALSE(ParseAddressList(text, out, error)) << text;
    EXPECT_TRUE(out.empty()) << text;
    return error;
}

TEST(AddressList, SinglesRangesAndSpacesKeepTheirOrder) {
    EXPECT_EQ(Parsed("7"), (Addresses{7}));
    EXPECT_EQ(Parsed("1,2,3"), (Addresses{1, 2, 3}));
    EXPECT_EQ(Parsed("1-4,12"), (Addresses{1, 2, 3, 4, 12}));
    EXPECT_EQ(Parsed(" 9 , 3 - 5 "), (Addresses{9, 3, 4, 5}));
    EXPECT_EQ(Parsed("0,255"), (Addresses{0, 255}));
    EXPECT_EQ(Parsed("6-6"), (Addresses{6}));
    EXPECT_EQ(Parsed("0-255").size(), 256u);
}

TEST(AddressList, RefusesBadPartsNamingThem) {
    EXPECT_NE(Refused("").find("''"), std::string::npos);
    EXPECT_NE(Refused("1,,2").find("''"), std::string::npos);
    EXPECT_NE(Refused("1,2,").find("''"), std::string::npos);
    EXPECT_NE(Refused("1,256").find("'256'"), std::string::npos);
    EXPECT_NE(Refused("1,x").find("'x'"), std::string::npos);
    EXPECT_NE(Refused("+3").find("'+3'"), std::string::npos);
    EXPECT_NE(Refused("1-").find("'1-'"), std::string::npos);
    EXPECT_NE(Refused("1-2-3").find("'1-2-3'"), std::string::npos);
    EXPECT_NE(Refused("0003").find("'0003'"), std::string::npos);
}

TEST(AddressList, RefusesReversedRangesAndDuplicates) {
    EXPECT_NE(Refused("1,5-3").find("'5-3' is a reversed range"), std::string::npos);
    EXPECT_NE(Refused("4,4").find("'4' repeats address 4"), std::string::npos);
    EXPECT_NE(Refused("1-5,3-7").find("'3-7' repeats address 3"), std::string::npos);
}

}  // namespace
