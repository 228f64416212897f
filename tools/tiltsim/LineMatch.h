#pragma once

#include <termios.h>

#include <cstdint>

#include "LineSettings.h"

// What a client's termios asks of the line, in the sensor's own terms, so tiltsim
// can tell whether a client would understand the sensor at all. Pure: the caller
// reads the termios.

// The speed in baud; 0 for one the sensor has no number for.
uint32_t TermiosBaud(const termios& tio);
// N, O or E; M or S for stick parity.
char TermiosParity(const termios& tio);
// True when a client with `tio` and a sensor at `baud` and `parity` hear each other.
bool LineMatches(const termios& tio, uint32_t baud, char parity);
// The same for a line set by other means (a device server's port), whose data
// size is known too: the sensor's 8 bits.
bool LineMatches(const LineSettings& line, uint32_t baud, char parity);
