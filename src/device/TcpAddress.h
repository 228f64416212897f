#pragma once

#include <string>

// A serial device server's address as written in a ports file or on the
// command line: "tcp://HOST:PORT", HOST a name, an IPv4 address or [IPv6].
struct TcpAddress {
    std::string host;
    std::string service;

    // False when `text` is no such address; surrounding blanks are ignored.
    static bool Parse(const std::string& text, TcpAddress& out);
    static bool IsAddress(const std::string& text);
};
