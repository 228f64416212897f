#include "Rfc2217Codec.h"

#include <utility>

namespace {

using T = TelnetStream;

void PutCommand(std::vector<uint8_t>& wire, uint8_t command, const std::vector<uint8_t>& value) {
    T::PutSubnegotiation(wire, T::kComPort, command, value);
}

}  // namespace

bool Rfc2217Codec::Accepted(uint8_t option) {
    // Binary and no go-ahead keep the stream eight-bit clean; an echo would
    // hand our own requests back as replies.
    return option == T::kComPort || option == T::kBinary || option == T::kSuppressGoAhead;
}

void Rfc2217Codec::Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) {
    // Until the server has taken the option, a request would reach the line at
    // the server's default settings: it waits (the newest only) for them.
    if (settingsWaiting_ && ++heldCount_ < kHeldBeforeGivingUp) {
        held_.assign(bytes, bytes + count);
        return;
    }
    if (settingsWaiting_) {
        // Not a telnet server, or one that ignores the option: a line of its
        // own settings is better than none, and the operator hears why.
        settingsWaiting_ = false;
        gaveUp_ = true;
        held_.clear();
        notice_ = {
            "the server has not answered the COM port option: requests go at its own "
            "line settings (for a server that is not telnet, use tcp://)",
            "服务器未回应 COM 端口选项：请求按其自身的串口参数发送（非 telnet 服务器请用 "
            "tcp://）"};
    }
    T::PutEscaped(wire, bytes, count);
}

void Rfc2217Codec::ReleaseHeld(std::vector<uint8_t>& wire) {
    settingsWaiting_ = false;
    std::vector<uint8_t> held;
    held.swap(held_);
    Encode(held.data(), held.size(), wire);
}

void Rfc2217Codec::Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                          std::vector<uint8_t>& reply) {
    // The server's confirmations and line state notices change nothing here.
    stream_.Read(bytes, count,
                 {[&](uint8_t b) { line.push_back(b); },
                  [&](uint8_t verb, uint8_t option) { Negotiate(verb, option, reply); },
                  [](const std::vector<uint8_t>&) {}});
}

void Rfc2217Codec::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
    const bool ok = Accepted(option);
    const auto answer = [&](uint8_t v) { reply.insert(reply.end(), {T::kIac, v, option}); };
    switch (verb) {
        case T::kDo:
            if (ok && !ours_[option]) {
                ours_[option] = true;
                answer(T::kWill);
            } else if (!ok && !refusedOurs_[option]) {
                refusedOurs_[option] = true;
                answer(T::kWont);
            }
            if (option == T::kComPort && !serverAgreed_) {
                serverAgreed_ = true;
                if (settingsWaiting_ || gaveUp_) AppendSettings(reply);
                ReleaseHeld(reply);
            }
            break;
        case T::kDont:
            if (ours_[option]) {
                ours_[option] = false;
                answer(T::kWont);
            }
            if (option == T::kComPort) {
                serverAgreed_ = false;
                notice_ = {
                    "the server does not take line settings (it refuses the COM port option)",
                    "服务器不接受串口参数设置（它拒绝了 COM 端口选项）"};
                ReleaseHeld(reply);
            }
            break;
        case T::kWill:
            if (ok && !theirs_[option]) {
                theirs_[option] = true;
                answer(T::kDo);
            } else if (!ok && !refusedTheirs_[option]) {
                refusedTheirs_[option] = true;
                answer(T::kDont);
            }
            break;
        case T::kWont:
            if (theirs_[option]) {
                theirs_[option] = false;
                answer(T::kDont);
            }
            break;
        default:
            break;
    }
}

void Rfc2217Codec::AppendSettings(std::vector<uint8_t>& wire) const {
    const uint32_t baud = settings_.baud;
    PutCommand(wire, T::kSetBaud,
               {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)});
    PutCommand(wire, T::kSetDataSize, {static_cast<uint8_t>(settings_.dataBits)});
    PutCommand(wire, T::kSetParity, {T::ParityCode(settings_.parity)});
    PutCommand(wire, T::kSetStopSize, {T::StopSizeCode(settings_.stopBits)});
}

bool Rfc2217Codec::LineRequest(const LineSettings& settings, std::vector<uint8_t>& wire) {
    settings_ = settings;
    if (!ours_[T::kComPort]) {
        ours_[T::kComPort] = true;
        wire.insert(wire.end(), {T::kIac, T::kWill, T::kComPort});
    }
    if (serverAgreed_)
        AppendSettings(wire);
    else if (!gaveUp_)
        settingsWaiting_ = true;
    return true;
}

LineNotice Rfc2217Codec::TakeNotice() {
    LineNotice notice;
    std::swap(notice, notice_);
    return notice;
}
