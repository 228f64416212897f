#include "ServedTransport.h"

#include "MbapServer.h"
#include "TelnetServer.h"

namespace {

// A raw converter, and a pseudo-terminal: the line's bytes as they are.
class RawTransport : public ServedTransport {
public:
    void Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                std::vector<uint8_t>& reply) override {
        (void)reply;
        heard.push_back(HeardBytes{std::vector<uint8_t>(wire, wire + count), -1, std::nullopt});
    }
    void Encode(const uint8_t* bytes, size_t count, int tag, bool frameEnd,
                std::vector<uint8_t>& wire) override {
        (void)tag;
        (void)frameEnd;
        wire.insert(wire.end(), bytes, bytes + count);
    }
};

}  // namespace

std::unique_ptr<ServedTransport> MakeServedTransport(LinkScheme scheme, const LineSettings& line,
                                                     size_t noiseBytes) {
    switch (scheme) {
        case LinkScheme::Rfc2217:
            return std::make_unique<TelnetServer>(line);
        case LinkScheme::ModbusTcp:
            return std::make_unique<MbapServer>(noiseBytes);
        case LinkScheme::RawTcp:
            break;
    }
    return std::make_unique<RawTransport>();
}
