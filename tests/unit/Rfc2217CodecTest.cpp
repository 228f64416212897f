#include <gtest/gtest.h>

#include "HexBytes.h"
#include "LineCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
    Bytes line, reply;
};

Decoded Feed(LineCodec& codec, const Bytes& in) {
    Decoded d;
    codec.Decode(in.data(), in.size(), d.line, d.reply);
    return d;
}

TEST(Rfc2217Codec, DataBytesFFAreDoubledOutAndUndoubledIn) {
    auto codec = MakeLineCodec(LinkScheme::Rfc2217);
    Bytes wire;
    const Bytes zero = Hex("01 06 00 10 00 ff c9 8f");
    codec->Encode(zero.data(), zero.size(), wire);
    EXPECT_EQ(wire, Hex("01 06 00 10 00 ff ff c9 8f"));
    // Split between the two halves of an escape, and a subnegotiation in between.
    EXPECT_EQ(Feed(*codec, Hex("01 06 00 10 00 ff")).line, Hex("01 06 00 10 00"));
    const Decoded rest = Feed(*codec, Hex("ff ff fa 2c 6b 00 ff"));
    EXPECT_EQ(rest.line, Hex("ff"));
    EXPECT_EQ(Feed(*codec, Hex("f0 c9 8f")).line, Hex("c9 8f"));
}

TEST(Rfc2217Codec, NegotiatesTheComPortOptionThenSendsTheLineSettings) {
    auto codec = MakeLineCodec(LinkScheme::Rfc2217);
    LineSettings line;
    line.baud = 19200;
    line.parity = 'E';
    line.stopBits = 2;
    Bytes wire;
    ASSERT_TRUE(codec->LineRequest(line, wire));
    EXPECT_EQ(wire, Hex("ff fb 2c")) << "settings wait for the server's DO";
    const Bytes read = Hex("01 03 00 02 00 04 e5 c9");  // and so does a request
    wire.clear();
    codec->Encode(read.data(), read.size(), wire);
    EXPECT_TRUE(wire.empty());

    // A greeting: will echo (refused), will/do binary and go-ahead (taken), do com port.
    const Decoded d = Feed(*codec, Hex("ff fb 01 ff fb 03 ff fd 00 ff fb 00 ff fd 18 ff fd 2c"));
    EXPECT_TRUE(d.line.empty());
    EXPECT_EQ(d.reply, Hex("ff fe 01 ff fd 03 ff fb 00 ff fd 00 ff fc 18 "
                           "ff fa 2c 01 00 00 4b 00 ff f0 ff fa 2c 02 08 ff f0 "
                           "ff fa 2c 03 03 ff f0 ff fa 2c 04 02 ff f0 01 03 00 02 00 04 e5 c9"));
    // Said again: no answer, so no negotiation loop.
    EXPECT_TRUE(Feed(*codec, Hex("ff fb 01 ff fd 2c ff fd 18")).reply.empty());

    // Later changes go out at once; a 0xFF inside a value is doubled.
    line.baud = 0x0001C2FF;
    line.parity = 'N';
    line.stopBits = 1;
    wire.clear();
    codec->LineRequest(line, wire);
    EXPECT_EQ(wire, Hex("ff fa 2c 01 00 01 c2 ff ff ff f0 ff fa 2c 02 08 ff f0 "
                        "ff fa 2c 03 01 ff f0 ff fa 2c 04 03 ff f0"));
}

TEST(Rfc2217Codec, AServerThatNeverAnswersTheOptionGetsTheRequestsAfterAWhileAndIsToldOnce) {
    auto codec = MakeLineCodec(LinkScheme::Rfc2217);
    Bytes wire;
    codec->LineRequest(LineSettings{}, wire);
    const Bytes read = Hex("01 03 00 02 00 04 e5 c9");
    int held = 0;
    for (wire.clear(); wire.empty() && held < 100; ++held)
        codec->Encode(read.data(), read.size(), wire);
    EXPECT_EQ(held, 15);
    EXPECT_EQ(wire, read);
    EXPECT_NE(codec->TakeNotice().english.find("has not answered the COM port option"),
              std::string::npos);
    // From then on requests go at once, line changes included, and nothing more is said.
    wire.clear();
    codec->LineRequest(LineSettings{}, wire);
    codec->Encode(read.data(), read.size(), wire);
    EXPECT_EQ(wire, read);
    EXPECT_TRUE(codec->TakeNotice().Empty());
}

TEST(RawTcpCodec, PassesBytesAndTellsATelnetGreetingOnce) {
    auto raw = MakeLineCodec(LinkScheme::RawTcp);
    EXPECT_EQ(Feed(*raw, Hex("ff")).line, Hex("ff"));
    EXPECT_EQ(Feed(*raw, Hex("fb 03")).line, Hex("fb 03"));
    EXPECT_NE(raw->TakeNotice().english.find("telnet"), std::string::npos);
    Feed(*raw, Hex("ff fd 2c"));
    EXPECT_TRUE(raw->TakeNotice().Empty());

    auto sensor = MakeLineCodec(LinkScheme::RawTcp);
    Feed(*sensor, Hex("68 0d 00 84 ff fb"));
    EXPECT_TRUE(sensor->TakeNotice().Empty());
}

}  // namespace
