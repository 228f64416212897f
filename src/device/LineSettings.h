#pragma once

#include <termios.h>

#include <cstdint>

// The line parameters the connection panel keeps and Open applies.
struct LineSettings {
    uint32_t portnr = 1;
    uint32_t baud = 9600;
    char parity = 'N';  // N, O, E, M or S; anything else means none
    int dataBits = 8;
    int stopBits = 0;  // 0 = one, 1 = one and a half, 2 = two
};

// Bauds the connection panel offers, in list order.
constexpr uint32_t kSupportedBauds[] = {2400, 4800, 9600, 19200, 38400, 115200, 230400};

// Builds raw 8-bit termios settings for `line` on top of what the driver reported.
// Pure: no descriptor is touched. Returns false (and leaves `out` as `current`)
// for a baud rate the line cannot be set to.
bool BuildTermios(const termios& current, const LineSettings& line, termios& out);
