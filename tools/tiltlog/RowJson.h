#pragma once

#include <cstdint>
#include <string>

#include "LocalClock.h"

// "2026-12-09T13:07:03.045+01:00": the row's own time, with its offset, so a
// subscriber in another zone reads the same instant.
std::string IsoTime(const LocalTime& t);

// One row as the MQTT feed carries it:
// {"address": 0, "x": 1.25, "y": -0.37, "temperature": 23.5, "time": "..."}.
// The values are the row's own texts, so they carry the CSV's decimals; a
// value the sensor has not sent (an empty text) is null.
std::string RowJson(uint8_t address, const std::string& x, const std::string& y,
                    const std::string& temperature, const LocalTime& at);
