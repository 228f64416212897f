#pragma once

#include <cstdint>
#include <string>

#include "TcpAddress.h"

// Where tiltsim serves its line, as a device server or a Modbus gateway does:
// "tcp://HOST:PORT", "rfc2217://HOST:PORT" or "modbus-tcp://HOST:PORT", HOST a
// name, an IPv4 address or [IPv6], PORT 0..65535 (0: the system picks a free one).
struct ListenAddress {
    LinkScheme scheme = LinkScheme::RawTcp;
    std::string host;  // without brackets
    uint16_t port = 0;

    // As the address is printed for clients, with the port bound.
    std::string Url(uint16_t boundPort) const;
};

// False with `error` saying what is wrong with `url`.
bool ParseListenAddress(const std::string& url, ListenAddress& out, std::string& error);
