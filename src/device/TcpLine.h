#pragma once

#include <chrono>

#include "TcpAddress.h"

// The socket side of a serial device server: the RS-485 line sits behind an
// Ethernet converter that passes raw bytes over one TCP connection.
class TcpLine {
public:
    // A server that does not answer within this is reported as timed out.
    static constexpr std::chrono::seconds kConnectTimeout{3};
    // Keepalive probes find a server that vanished without closing: idle
    // seconds before the first probe, seconds between probes, probes lost.
    static constexpr int kKeepIdleSeconds = 10;
    static constexpr int kKeepIntervalSeconds = 5;
    static constexpr int kKeepProbes = 3;

    // A connected, non-blocking socket, or -1 with errno telling why.
    static int Connect(const TcpAddress& address,
                       std::chrono::milliseconds timeout = kConnectTimeout);
    // Errors after which the connection is of no further use.
    static bool PeerGone(int err);
};
