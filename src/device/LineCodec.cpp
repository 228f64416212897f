#include "LineCodec.h"

#include <utility>

#include "MbapCodec.h"
#include "Rfc2217Codec.h"

namespace {

// Bytes pass as they are. On a raw connection the first bytes are watched:
// a telnet server opens with IAC and an option verb, which no sensor reply
// starts with (0xFF is neither a frame header nor a Modbus address).
class IdentityCodec : public LineCodec {
public:
    explicit IdentityCodec(bool watchTelnet) : watching_(watchTelnet) {}

    void Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) override {
        wire.insert(wire.end(), bytes, bytes + count);
    }
    void Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                std::vector<uint8_t>&) override {
        for (size_t i = 0; watching_ && i < count; ++i) {
            start_.push_back(bytes[i]);
            if (start_.size() < 2) continue;
            watching_ = false;
            if (start_[0] == TelnetStream::kIac && start_[1] >= TelnetStream::kWill &&
                start_[1] <= TelnetStream::kDont)
                notice_ = {"this server speaks telnet: use rfc2217://",
                           "此服务器使用 telnet 协议：请改用 rfc2217://"};
        }
        line.insert(line.end(), bytes, bytes + count);
    }
    LineNotice TakeNotice() override {
        LineNotice notice;
        std::swap(notice, notice_);
        return notice;
    }

private:
    bool watching_;
    std::vector<uint8_t> start_;
    LineNotice notice_;
};

}  // namespace

std::unique_ptr<LineCodec> MakeTtyCodec() {
    return std::make_unique<IdentityCodec>(false);
}

std::unique_ptr<LineCodec> MakeLineCodec(LinkScheme scheme, int unit) {
    switch (scheme) {
        case LinkScheme::Rfc2217:
            return std::make_unique<Rfc2217Codec>();
        case LinkScheme::ModbusTcp:
            return std::make_unique<MbapCodec>(unit);
        case LinkScheme::RawTcp:
            break;
    }
    return std::make_unique<IdentityCodec>(true);
}
