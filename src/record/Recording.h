#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A recording read back: the rows of one or more CSV files that the window or
// tiltlog wrote, one trace per sensor, in time order. Values are kept as the
// files hold them (the number and its decimals), so an export writes exactly
// what was recorded; a field that was empty stays empty (NaN here).
struct RecordedTrace {
    // The sensor's bus address; -1 for a file of one sensor, which names none.
    int address = -1;
    // Milliseconds since the epoch (UTC), ascending; equal stamps keep file order.
    std::vector<int64_t> utcMs;
    // NaN where the row had no value.
    std::vector<double> x, y, temperature;
    // Decimals each value was written with (0 where empty).
    std::vector<uint8_t> xDecimals, yDecimals, temperatureDecimals;

    size_t Size() const { return utcMs.size(); }
};

struct Recording {
    // One per address, ascending; a single-sensor recording has one, address -1.
    std::vector<RecordedTrace> traces;
    // Lines that were neither a header nor a whole row: counted, never guessed.
    uint64_t unreadableRows = 0;
    // One line per file that could not be read at all, with the system's reason.
    std::vector<std::string> problems;
};

// Reads the files (the window's or tiltlog's recordings, with or without a
// header, bus files included) and stitches them by their time stamps.
Recording ReadRecordings(const std::vector<std::string>& paths);
