#pragma once

#include <string>

// How the bytes of a serial line travel over one TCP connection.
enum class LinkScheme {
    RawTcp,     // "tcp://": the converter passes raw bytes both ways
    Rfc2217,    // "rfc2217://": telnet with the COM port option, line settings remote
    ModbusTcp,  // "modbus-tcp://": a Modbus TCP gateway, MBAP framing, no CRC
};

// A serial line's network address as written in a ports file or on the command
// line: "SCHEME://HOST:PORT", HOST a name, an IPv4 address or [IPv6]; a Modbus
// TCP gateway may add "/UNIT", the unit id to ask instead of the sensor's address.
struct TcpAddress {
    LinkScheme scheme = LinkScheme::RawTcp;
    std::string host;
    std::string service;
    int unit = -1;  // -1: the unit id is the sensor's address

    // False when `text` is no such address, with `why` saying what is wrong;
    // surrounding blanks are ignored.
    static bool Parse(const std::string& text, TcpAddress& out, std::string* why = nullptr);
    static bool IsAddress(const std::string& text);
    // Written as a network address ("word://..."), well-formed or not: such text
    // is refused with its reason, never opened as a file.
    static bool LooksLikeAddress(const std::string& text);
    // "tcp://", "rfc2217://" or "modbus-tcp://".
    static const char* SchemePrefix(LinkScheme scheme);
};
