#include <gtest/gtest.h>

#include <vector>

#include "HexBytes.h"
#include "MbapCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(MbapCodec& codec, const Bytes& rtu) {
    Bytes wire;
    codec.Encode(rtu.data(), rtu.size(), wire);
    return wire;
}

Bytes Decode(MbapCodec& codec, const Bytes& wire) {
    Bytes line, reply;
    codec.Decode(wire.data(), wire.size(), line, reply);
    EXPECT_TRUE(reply.empty());
    return line;
}

const char* const kRead = "01 03 00 02 00 04 E5 C9";
const char* const kReplyPdu = "03 0A 39 30 00 00 28 23 00 00 09 CE";
const char* const kReplyRtu = "01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C";

TEST(MbapCodec, ClientSendsEachRequestUnderTheNextTransactionIdWithoutItsCrc) {
    MbapCodec codec(MbapCodec::Side::Client);
    EXPECT_EQ(Encode(codec, Hex(kRead)), Hex("00 01 00 00 00 06 01 03 00 02 00 04"));
    EXPECT_EQ(Encode(codec, Hex("01 06 00 10 00 FF C8 4F")),
              Hex("00 02 00 00 00 06 01 06 00 10 00 FF"));
    MbapCodec unit(MbapCodec::Side::Client, 17);
    EXPECT_EQ(Encode(unit, Hex(kRead)), Hex("00 01 00 00 00 06 11 03 00 02 00 04"));
}

TEST(MbapCodec, ClientGivesBackTheAwaitedReplyAsAnRtuFrameHoweverItArrives) {
    MbapCodec codec(MbapCodec::Side::Client);
    Encode(codec, Hex(kRead));
    const Bytes adu = Hex(std::string("00 01 00 00 00 0D 01 ") + kReplyPdu);
    Bytes line;
    for (uint8_t b : adu) {
        const Bytes part = Decode(codec, {b});
        line.insert(line.end(), part.begin(), part.end());
    }
    EXPECT_EQ(line, Hex(kReplyRtu));

    // Under a unit id of its own the reply still comes back from the sensor's address.
    MbapCodec unit(MbapCodec::Side::Client, 17);
    Encode(unit, Hex(kRead));
    EXPECT_EQ(Decode(unit, Hex(std::string("00 01 00 00 00 0D 11 ") + kReplyPdu)), Hex(kReplyRtu));
    EXPECT_EQ(unit.Dropped(), 0u);
}

TEST(MbapCodec, ClientDropsAndCountsRepliesToOtherTransactionsOrUnitsAndRepeats) {
    MbapCodec codec(MbapCodec::Side::Client);
    Encode(codec, Hex(kRead));
    Encode(codec, Hex(kRead));
    // In one block: the answer to the first request (too late), one from another
    // unit, the awaited one, and that one again.
    const std::string late = std::string("00 01 00 00 00 0D 01 ") + kReplyPdu;
    const std::string stranger = std::string("00 02 00 00 00 0D 02 ") + kReplyPdu;
    const std::string awaited = std::string("00 02 00 00 00 0D 01 ") + kReplyPdu;
    EXPECT_EQ(Decode(codec, Hex(late + " " + stranger + " " + awaited + " " + awaited)),
              Hex(kReplyRtu));
    EXPECT_EQ(codec.Dropped(), 3u);
    EXPECT_EQ(codec.TakeNotice(), "");
}

TEST(MbapCodec, ClientGivesUpBytesWithoutAnMbapHeaderAndSaysSoOnce) {
    MbapCodec codec(MbapCodec::Side::Client);
    Encode(codec, Hex(kRead));
    // An RTU reply, as from a raw serial server: protocol id 0x0A39 is no Modbus TCP.
    EXPECT_TRUE(Decode(codec, Hex(kReplyRtu)).empty());
    EXPECT_NE(codec.TakeNotice().find("does not speak Modbus TCP"), std::string::npos);
    EXPECT_TRUE(Decode(codec, Hex("00 01 00 00 00 00 01 03")).empty());  // length 0
    EXPECT_EQ(codec.TakeNotice(), "");
    EXPECT_EQ(codec.Dropped(), 2u);
    // A well-formed reply afterwards is taken again.
    EXPECT_EQ(Decode(codec, Hex(std::string("00 01 00 00 00 0D 01 ") + kReplyPdu)), Hex(kReplyRtu));
}

TEST(MbapCodec, ServerTurnsRequestsIntoRtuAndAnswersUnderEachRequestsId) {
    MbapCodec codec(MbapCodec::Side::Server);
    EXPECT_EQ(Decode(codec, Hex("12 34 00 00 00 06 01 03 00 02 00 04 "
                                "12 35 00 00 00 06 01 06 00 10 00 FF")),
              Hex(std::string(kRead) + " 01 06 00 10 00 FF C8 4F"));
    // A reply garbled on the line is not passed on and answers nothing.
    EXPECT_TRUE(Encode(codec, Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4D")).empty());
    EXPECT_EQ(Encode(codec, Hex(kReplyRtu)), Hex(std::string("12 34 00 00 00 0D 01 ") + kReplyPdu));
    EXPECT_EQ(Encode(codec, Hex("01 06 00 10 00 FF C8 4F")),
              Hex("12 35 00 00 00 06 01 06 00 10 00 FF"));
    EXPECT_TRUE(Encode(codec, Hex(kReplyRtu)).empty());  // nobody asked
}

}  // namespace
