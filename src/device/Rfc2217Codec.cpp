#include "Rfc2217Codec.h"

namespace {

// Escapes a value inside a subnegotiation as in the data stream.
void PutEscaped(std::vector<uint8_t>& wire, uint8_t byte) {
    wire.push_back(byte);
    if (byte == Rfc2217Codec::kIac) wire.push_back(byte);
}

void PutCommand(std::vector<uint8_t>& wire, uint8_t command, const std::vector<uint8_t>& value) {
    wire.insert(wire.end(),
                {Rfc2217Codec::kIac, Rfc2217Codec::kSb, Rfc2217Codec::kComPort, command});
    for (uint8_t b : value) PutEscaped(wire, b);
    wire.insert(wire.end(), {Rfc2217Codec::kIac, Rfc2217Codec::kSe});
}

uint8_t ParityCode(char parity) {
    switch (parity) {
        case 'O':
        case 'o':
            return 2;
        case 'E':
        case 'e':
            return 3;
        case 'M':
        case 'm':
            return 4;
        case 'S':
        case 's':
            return 5;
        default:
            return 1;
    }
}

uint8_t StopSizeCode(int stopBits) {
    // The line keeps 0 one, 1 one and a half, 2 two; the option numbers them 1, 3, 2.
    switch (stopBits) {
        case 1:
            return 3;
        case 2:
            return 2;
        default:
            return 1;
    }
}

}  // namespace

bool Rfc2217Codec::Accepted(uint8_t option) {
    // Binary and no go-ahead keep the stream eight-bit clean; an echo would
    // hand our own requests back as replies.
    return option == kComPort || option == kBinary || option == kSuppressGoAhead;
}

void Rfc2217Codec::Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) {
    // Until the server has taken the option, a request would reach the line at
    // the server's default settings: it waits (the newest only) for them.
    if (settingsWaiting_) {
        held_.assign(bytes, bytes + count);
        return;
    }
    for (size_t i = 0; i < count; ++i) PutEscaped(wire, bytes[i]);
}

void Rfc2217Codec::ReleaseHeld(std::vector<uint8_t>& wire) {
    settingsWaiting_ = false;
    std::vector<uint8_t> held;
    held.swap(held_);
    Encode(held.data(), held.size(), wire);
}

void Rfc2217Codec::Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                          std::vector<uint8_t>& reply) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (state_) {
            case State::Data:
                if (b == kIac)
                    state_ = State::Iac;
                else
                    line.push_back(b);
                break;
            case State::Iac:
                if (b == kIac) {
                    line.push_back(b);
                    state_ = State::Data;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Option;
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                } else {
                    state_ = State::Data;  // NOP, go-ahead and the like carry nothing
                }
                break;
            case State::Option:
                Negotiate(verb_, b, reply);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac)
                    state_ = State::SubIac;
                else
                    sub_.push_back(b);
                break;
            case State::SubIac:
                if (b == kIac) {
                    sub_.push_back(b);
                    state_ = State::Sub;
                } else {
                    // IAC SE ends it; the server's confirmations and line state
                    // notices change nothing here.
                    state_ = b == kSe ? State::Data : State::Sub;
                }
                break;
        }
    }
}

void Rfc2217Codec::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
    const bool ok = Accepted(option);
    const auto answer = [&](uint8_t v) { reply.insert(reply.end(), {kIac, v, option}); };
    switch (verb) {
        case kDo:
            if (ok && !ours_[option]) {
                ours_[option] = true;
                answer(kWill);
            } else if (!ok && !refusedOurs_[option]) {
                refusedOurs_[option] = true;
                answer(kWont);
            }
            if (option == kComPort && !serverAgreed_) {
                serverAgreed_ = true;
                if (settingsWaiting_) AppendSettings(reply);
                ReleaseHeld(reply);
            }
            break;
        case kDont:
            if (ours_[option]) {
                ours_[option] = false;
                answer(kWont);
            }
            if (option == kComPort) {
                serverAgreed_ = false;
                notice_ = "the server does not take line settings (it refuses the COM port option)";
                ReleaseHeld(reply);
            }
            break;
        case kWill:
            if (ok && !theirs_[option]) {
                theirs_[option] = true;
                answer(kDo);
            } else if (!ok && !refusedTheirs_[option]) {
                refusedTheirs_[option] = true;
                answer(kDont);
            }
            break;
        case kWont:
            if (theirs_[option]) {
                theirs_[option] = false;
                answer(kDont);
            }
            break;
        default:
            break;
    }
}

void Rfc2217Codec::AppendSettings(std::vector<uint8_t>& wire) const {
    const uint32_t baud = settings_.baud;
    PutCommand(wire, kSetBaud,
               {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)});
    PutCommand(wire, kSetDataSize, {static_cast<uint8_t>(settings_.dataBits)});
    PutCommand(wire, kSetParity, {ParityCode(settings_.parity)});
    PutCommand(wire, kSetStopSize, {StopSizeCode(settings_.stopBits)});
}

bool Rfc2217Codec::LineRequest(const LineSettings& settings, std::vector<uint8_t>& wire) {
    settings_ = settings;
    if (!ours_[kComPort]) {
        ours_[kComPort] = true;
        wire.insert(wire.end(), {kIac, kWill, kComPort});
    }
    if (serverAgreed_)
        AppendSettings(wire);
    else
        settingsWaiting_ = true;
    return true;
}

std::string Rfc2217Codec::TakeNotice() {
    std::string notice;
    notice.swap(notice_);
    return notice;
}
