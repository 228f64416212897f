#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LineSettings.h"
#include "TcpAddress.h"

// Something about the far end the operator should know, in both languages.
struct LineNotice {
    std::string english;
    std::string chinese;
    bool Empty() const { return english.empty(); }
};

// How one transport carries a serial line's bytes: a tty or a raw TCP
// connection carries them as they are; telnet (RFC 2217) escapes and
// negotiates; a Modbus TCP gateway wraps each frame in an MBAP header.
// The channel keeps one codec per open line and calls it on its monitor
// thread only; a codec does no I/O of its own, so each is tested byte for byte.
class LineCodec {
public:
    virtual ~LineCodec() = default;

    // What goes on the wire for one block the receive path asked to send.
    virtual void Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) = 0;
    // The line's bytes in what arrived (appended to `line`), and anything the
    // transport must answer at once (telnet negotiation), appended to `reply`.
    virtual void Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                        std::vector<uint8_t>& reply) = 0;
    // The bytes that ask the far end to set its serial port to `settings`;
    // false when this transport cannot change the remote port's line settings.
    virtual bool LineRequest(const LineSettings& settings, std::vector<uint8_t>& wire) {
        (void)settings;
        (void)wire;
        return false;
    }
    // Something the operator should know about the server, said once: a raw
    // connection that receives a telnet greeting, say. Empty when nothing.
    virtual LineNotice TakeNotice() { return {}; }
    // How many requests may await their replies at once. A codec that matches
    // each reply to its request (Modbus TCP) keeps that many; the others carry
    // one at a time and ignore it.
    virtual void SetWindow(size_t requests) { (void)requests; }
    // The wire carries the line's frames in a framing of its own (Modbus TCP):
    // what went on the wire is then worth showing rather than the line's bytes.
    virtual bool Reframes() const { return false; }
};

// The codec for a transport; a tty and raw TCP share the identity codec.
std::unique_ptr<LineCodec> MakeLineCodec(LinkScheme scheme, int unit = -1);
// A tty's codec: bytes as they are.
std::unique_ptr<LineCodec> MakeTtyCodec();
