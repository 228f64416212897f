#include "TelnetStream.h"

void TelnetStream::Read(const uint8_t* bytes, size_t count, const Handlers& handlers) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (state_) {
            case State::Data:
                if (b == kIac)
                    state_ = State::Iac;
                else
                    handlers.data(b);
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == kIac) {
                    handlers.data(b);
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Option;
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                }  // NOP, go-ahead and the like carry nothing
                break;
            case State::Option:
                handlers.option(verb_, b);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac)
                    state_ = State::SubIac;
                else if (sub_.size() < kMaxSubBytes)
                    sub_.push_back(b);
                break;
            case State::SubIac:
                if (b == kIac) {
                    if (sub_.size() < kMaxSubBytes) sub_.push_back(b);
                    state_ = State::Sub;
                    break;
                }
                // Anything but IAC SE inside a subnegotiation ends it unread.
                if (b == kSe) handlers.subnegotiation(sub_);
                state_ = State::Data;
                break;
        }
    }
}

void TelnetStream::PutEscaped(std::vector<uint8_t>& wire, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        wire.push_back(bytes[i]);
        if (bytes[i] == kIac) wire.push_back(kIac);
    }
}

void TelnetStream::PutSubnegotiation(std::vector<uint8_t>& wire, uint8_t option, uint8_t command,
                                     const std::vector<uint8_t>& value) {
    wire.insert(wire.end(), {kIac, kSb, option, command});
    PutEscaped(wire, value.data(), value.size());
    wire.insert(wire.end(), {kIac, kSe});
}

uint8_t TelnetStream::ParityCode(char parity) {
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

uint8_t TelnetStream::StopSizeCode(int stopBits) {
    switch (stopBits) {
        case 1:
            return 3;
        case 2:
            return 2;
        default:
            return 1;
    }
}
