#pragma once

#include <chrono>
#include <string>

#include "TcpAddress.h"

// The socket side of a serial device server: the RS-485 line sits behind an
// Ethernet converter that passes raw bytes over one TCP connection.
class TcpLine {
public:
    // A server that does not answer within this is reported as timed out; the
    // name's lookup counts against the same time.
    static constexpr std::chrono::seconds kConnectTimeout{3};
    // Keepalive probes find a server that vanished without closing: idle
    // seconds before the first probe, seconds between probes, probes lost.
    static constexpr int kKeepIdleSeconds = 10;
    static constexpr int kKeepIntervalSeconds = 5;
    static constexpr int kKeepProbes = 3;
    // Keepalive does not probe while a request waits for its acknowledgement:
    // data unacknowledged this long ends the connection too. Equal to the
    // keepalive's own bound, so a vanished server is found within half a minute
    // either way.
    static constexpr std::chrono::milliseconds kUserTimeout{
        (kKeepIdleSeconds + kKeepIntervalSeconds * kKeepProbes) * 1000};

    // A connected, non-blocking socket, or -1 with errno telling why. A host
    // name that does not resolve gives ENXIO and, in `failure`, "cannot resolve
    // HOST: " with the resolver's reason.
    static int Connect(const TcpAddress& address,
                       std::chrono::milliseconds timeout = kConnectTimeout,
                       std::string* failure = nullptr);
    // Errors after which the connection is of no further use.
    static bool PeerGone(int err);
};
