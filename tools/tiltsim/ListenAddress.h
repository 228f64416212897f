#pragma once

#include <cstdint>
#include <string>

// Where tiltsim serves its line over TCP, as an RS-485-to-Ethernet converter
// does: "tcp://HOST:PORT", HOST a dotted IPv4 address, PORT 0..65535 (0: the
// system picks a free one).
struct ListenAddress {
    std::string host;
    uint16_t port = 0;
};

// False with `error` saying what is wrong with `url`.
bool ParseListenAddress(const std::string& url, ListenAddress& out, std::string& error);
