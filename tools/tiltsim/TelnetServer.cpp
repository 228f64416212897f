#include "TelnetServer.h"

#include "TelnetStream.h"

namespace {

using Telnet = TelnetStream;

// COM port commands beyond the line settings; a server answers each with its
// code plus 100.
constexpr uint8_t kSignature = 0;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kSetLinestateMask = 10;
constexpr uint8_t kSetModemstateMask = 11;
constexpr uint8_t kPurgeData = 12;
// Parity by its COM port code: 1 none, 2 odd, 3 even, 4 mark, 5 space.
constexpr char kParityByCode[] = "?NOEMS";

bool Accepted(uint8_t option) {
    return option == Telnet::kBinary || option == Telnet::kSuppressGoAhead ||
           option == Telnet::kComPort;
}

}  // namespace

void TelnetServer::Greet(std::vector<uint8_t>& wire) {
    // What a device server offers at once: binary both ways, no go-ahead, and
    // an invitation to the COM port option.
    ours_[Telnet::kBinary] = ours_[Telnet::kSuppressGoAhead] = Agreed::Asked;
    theirs_[Telnet::kBinary] = theirs_[Telnet::kComPort] = Agreed::Asked;
    wire.insert(wire.end(),
                {Telnet::kIac, Telnet::kWill, Telnet::kBinary, Telnet::kIac, Telnet::kDo,
                 Telnet::kBinary, Telnet::kIac, Telnet::kWill, Telnet::kSuppressGoAhead,
                 Telnet::kIac, Telnet::kDo, Telnet::kComPort});
}

void TelnetServer::Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                          std::vector<uint8_t>& reply) {
    stream_.Read(wire, count,
                 {[&](uint8_t b) { HeardByte(b, heard); },
                  [&](uint8_t verb, uint8_t option) { Negotiate(verb, option, reply); },
                  [&](const std::vector<uint8_t>& sub) { ComPortCommand(sub, reply); }});
}

void TelnetServer::HeardByte(uint8_t b, std::vector<HeardBytes>& heard) {
    if (heard.empty() || lineChanged_) {
        heard.push_back(HeardBytes{{}, -1, line_});
        lineChanged_ = false;
    }
    heard.back().bytes.push_back(b);
}

void TelnetServer::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
    // WILL and WONT speak of the client's side, DO and DONT of ours. A request
    // answers our own question, or is agreed to or refused once; a state
    // already held is never confirmed again, so no two ends loop.
    const bool theirSide = verb == Telnet::kWill || verb == Telnet::kWont;
    const bool on = verb == Telnet::kWill || verb == Telnet::kDo;
    Agreed& state = theirSide ? theirs_[option] : ours_[option];
    const uint8_t yes = theirSide ? Telnet::kDo : Telnet::kWill;
    const uint8_t no = theirSide ? Telnet::kDont : Telnet::kWont;
    if (on) {
        if (state == Agreed::Yes) return;
        const bool asked = state == Agreed::Asked;
        state = Accepted(option) ? Agreed::Yes : Agreed::No;
        if (!asked)
            reply.insert(reply.end(), {Telnet::kIac, state == Agreed::Yes ? yes : no, option});
        return;
    }
    if (state == Agreed::No) return;
    const bool was = state == Agreed::Yes;
    state = Agreed::No;
    if (was) reply.insert(reply.end(), {Telnet::kIac, no, option});
}

void TelnetServer::ComPortCommand(const std::vector<uint8_t>& sub, std::vector<uint8_t>& reply) {
    if (sub.size() < 2 || sub[0] != Telnet::kComPort) return;
    const uint8_t command = sub[1];
    const uint8_t* value = sub.data() + 2;
    const size_t size = sub.size() - 2;
    std::vector<uint8_t> answer;
    // A value of 0 asks for the setting; one the port cannot take leaves it as it is.
    if (command == kSignature) {
        if (size != 0) return;  // the client's own signature: nothing to answer
        const char kName[] = "tiltsim";
        answer.assign(kName, kName + sizeof kName - 1);
    } else if (command == Telnet::kSetBaud) {
        if (size != 4) return;
        const uint32_t baud = static_cast<uint32_t>(value[0]) << 24 |
                              static_cast<uint32_t>(value[1]) << 16 |
                              static_cast<uint32_t>(value[2]) << 8 | value[3];
        if (baud != 0) line_.baud = baud;
        for (int shift = 24; shift >= 0; shift -= 8)
            answer.push_back(static_cast<uint8_t>(line_.baud >> shift));
    } else {
        if (size != 1) return;
        const uint8_t v = value[0];
        switch (command) {
            case Telnet::kSetDataSize:
                if (v >= 5 && v <= 8) line_.dataBits = v;
                answer.push_back(static_cast<uint8_t>(line_.dataBits));
                break;
            case Telnet::kSetParity:
                if (v >= 1 && v <= 5) line_.parity = kParityByCode[v];
                answer.push_back(Telnet::ParityCode(line_.parity));
                break;
            case Telnet::kSetStopSize: {
                // Codes 1, 2 and 3 are one, two and one and a half stop bits.
                static constexpr int kStopBitsByCode[] = {-1, 0, 2, 1};
                if (v >= 1 && v <= 3) line_.stopBits = kStopBitsByCode[v];
                answer.push_back(Telnet::StopSizeCode(line_.stopBits));
                break;
            }
            case kSetControl: {
                // Questions get the state: no flow control, no break, DTR and RTS on.
                const uint8_t state = v == 0 ? 1 : v == 4 ? 6 : v == 7 ? 8 : v == 10 ? 11 : v;
                answer.push_back(state);
                break;
            }
            case kSetLinestateMask:
            case kSetModemstateMask:
            case kPurgeData:
                answer.push_back(v);
                break;
            default:
                return;  // suspend, resume and the notifications have no answer
        }
    }
    if (command == Telnet::kSetBaud || command == Telnet::kSetDataSize ||
        command == Telnet::kSetParity || command == Telnet::kSetStopSize)
        lineChanged_ = true;
    Telnet::PutSubnegotiation(reply, Telnet::kComPort,
                              static_cast<uint8_t>(command + Telnet::kServerCode), answer);
}

void TelnetServer::Encode(const uint8_t* bytes, size_t count, int tag, bool frameEnd,
                          std::vector<uint8_t>& wire) {
    (void)tag;
    (void)frameEnd;
    Telnet::PutEscaped(wire, bytes, count);
}
