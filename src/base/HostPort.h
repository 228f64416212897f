#pragma once

#include <string>

// "HOST[:PORT]" as written after a scheme: HOST a name, a dotted IPv4 address
// or an IPv6 address in brackets, PORT 0..65535 in decimal.
struct HostPort {
    std::string host;  // without the brackets
    int port = -1;     // -1: no port written

    // As written back for the operator: brackets around an IPv6 host.
    std::string Text() const;
};

// False with `why` (a phrase such as "no port after ':'") when `text` is not
// HOST[:PORT]. Callers decide whether a port is required and whether 0 is allowed.
bool ParseHostPort(const std::string& text, HostPort& out, std::string& why);
