#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HexBytes.h"
#include "MbapCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(MbapCodec& codec, const std::string& rtu) {
    const Bytes in = Hex(rtu);
    Bytes wire;
    codec.Encode(in.data(), in.size(), wire);
    return wire;
}

Bytes Decode(MbapCodec& codec, const std::string& wire) {
    const Bytes in = Hex(wire);
    Bytes line, reply;
    codec.Decode(in.data(), in.size(), line, reply);
    return line;
}

const std::string kRead = "01 03 00 02 00 04 E5 C9";
const std::string kReplyPdu = " 03 0A 39 30 00 00 28 23 00 00 09 CE";
const std::string kReplyRtu = "01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C";

TEST(MbapCodec, ClientSendsEachRequestUnderTheNextTransactionIdWithoutItsCrc) {
    MbapCodec codec;
    EXPECT_EQ(Encode(codec, kRead), Hex("00 01 00 00 00 06 01 03 00 02 00 04"));
    EXPECT_EQ(Encode(codec, "01 06 00 10 00 FF C8 4F"), Hex("00 02 00 00 00 06 01 06 00 10 00 FF"));
    MbapCodec unit(17);
    EXPECT_EQ(Encode(unit, kRead), Hex("00 01 00 00 00 06 11 03 00 02 00 04"));
    // Under a unit id of its own the reply comes back from the sensor's address.
    EXPECT_EQ(Decode(unit, "00 01 00 00 00 0D 11" + kReplyPdu), Hex(kReplyRtu));
}

TEST(MbapCodec, ClientTakesOnlyTheAwaitedReplyHoweverItIsSplitOrBatched) {
    MbapCodec codec;
    Encode(codec, kRead);
    Encode(codec, kRead);
    // The first request's answer (too late), another unit's, the awaited one
    // split anywhere, and the awaited one again.
    const std::string wire = "00 01 00 00 00 0D 01" + kReplyPdu + " 00 02 00 00 00 0D 02" +
                             kReplyPdu + " 00 02 00 00 00 0D 01" + kReplyPdu +
                             " 00 02 00 00 00 0D 01" + kReplyPdu;
    Bytes line;
    for (size_t at = 0; at < wire.size(); at += 9) {
        const Bytes part = Decode(codec, wire.substr(at, 9));
        line.insert(line.end(), part.begin(), part.end());
    }
    EXPECT_EQ(line, Hex(kReplyRtu));
    EXPECT_EQ(codec.Dropped(), 3u);
    EXPECT_TRUE(codec.TakeNotice().Empty());
}

TEST(MbapCodec, ClientWithAWindowTakesRepliesToItsNewestRequestsInAnyOrder) {
    MbapCodec codec;
    codec.SetWindow(2);
    for (int i = 0; i < 3; ++i) Encode(codec, kRead);
    // Ids 3 and 2 are awaited; 1 fell out of the window; 2 is taken only once.
    const Bytes line = Decode(codec, "00 03 00 00 00 0D 01" + kReplyPdu + " 00 02 00 00 00 0D 01" +
                                         kReplyPdu + " 00 01 00 00 00 0D 01" + kReplyPdu +
                                         " 00 02 00 00 00 0D 01" + kReplyPdu);
    EXPECT_EQ(line, Hex(kReplyRtu + " " + kReplyRtu));
    EXPECT_EQ(codec.Dropped(), 2u);
}

TEST(MbapCodec, ClientGivesUpBytesWithoutAnMbapHeaderAndSaysSoOnce) {
    MbapCodec codec;
    Encode(codec, kRead);
    // An RTU reply, as a raw serial server sends it: protocol id 0x0A39.
    EXPECT_TRUE(Decode(codec, kReplyRtu).empty());
    EXPECT_NE(codec.TakeNotice().english.find("does not speak Modbus TCP"), std::string::npos);
    EXPECT_TRUE(Decode(codec, "00 01 00 00 00 00 01 03").empty());  // length 0
    EXPECT_TRUE(codec.TakeNotice().Empty());
    EXPECT_EQ(codec.Dropped(), 2u);
}

}  // namespace
