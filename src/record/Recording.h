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
//
// Local time stamps become instants in the process's time zone (TZ). The hour
// a clock change repeats is read by this rule: within one file time never runs
// backwards, so a stamp in that hour is its first pass until the file's stamps
// step back by more than half the change (30 minutes for one hour); from there
// on, up to the end of the repeated hour, it is the second pass. A file that
// never steps back but ends in that hour is the second pass there when the
// file was last modified within five minutes after its last row's second
// pass (it was begun after the change); a copy's time changes nothing. A stamp
// in an hour the clock skips never happened: it counts as unreadable.
Recording ReadRecordings(const std::vector<std::string>& paths);

// The same for one recording's text, as if read from a file called `name`
// (a bus file's name gives the address).
Recording ReadRecordingText(const std::string& text, const std::string& name);
