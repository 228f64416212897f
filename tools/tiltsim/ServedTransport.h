#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "LineSettings.h"
#include "TcpAddress.h"

// Bytes the sensors hear from one piece of what the client sent.
struct HeardBytes {
    std::vector<uint8_t> bytes;
    // What a reply to them needs to find its way back (a Modbus TCP transaction);
    // -1 when the transport carries a plain byte stream.
    int tag = -1;
    // The client's line while they came, when the transport lets the client set it.
    std::optional<LineSettings> line;
};

// The server side of a transport that carries the simulated line to one
// client: a raw TCP converter, an RFC 2217 device server or a Modbus TCP
// gateway. No I/O of its own, so each is tested byte for byte.
class ServedTransport {
public:
    virtual ~ServedTransport() = default;

    // What the server sends as soon as a client connects.
    virtual void Greet(std::vector<uint8_t>& wire) { (void)wire; }
    // What the client sent: the line's bytes appended to `heard`, and what the
    // server answers by itself (telnet negotiation) appended to `reply`.
    virtual void Decode(const uint8_t* wire, size_t count, std::vector<HeardBytes>& heard,
                        std::vector<uint8_t>& reply) = 0;
    // `count` line bytes of a frame made with `tag`; `frameEnd` when they end it.
    virtual void Encode(const uint8_t* bytes, size_t count, int tag, bool frameEnd,
                        std::vector<uint8_t>& wire) = 0;
    // The line the client has set, when the client sets it; none when the
    // server's serial port keeps the settings it was given.
    virtual std::optional<LineSettings> ClientLine() const { return std::nullopt; }
};

// `line`: the serial port's settings when the client connects; `noiseBytes`:
// the line noise before every frame the sensors send.
std::unique_ptr<ServedTransport> MakeServedTransport(LinkScheme scheme, const LineSettings& line,
                                                     size_t noiseBytes);
