#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One address of a bus, as the status line shows it.
struct SensorFigures {
    uint8_t address = 0;
    int rate = 0;           // replies in the last second
    uint64_t miscount = 0;  // requests without a good reply
    uint64_t rows = 0;
};

struct StatusFigures {
    bool linkOpen = false;
    int framesPerSecond = 0;
    int miscount = 0;
    uint64_t rows = 0;        // handed to the recorder
    uint64_t rowsOnDisk = 0;  // written by it
    std::string file;         // the file being written, or "standard output"
    std::string port;
    std::vector<SensorFigures> sensors;  // a bus: these instead of the line's figures
    std::string feed;                    // "MQTT held 0" when rows are published too
};

// "50 Hz  miscount 0  rows 1234 (1200 written)  /data/Tiltscope_20240305093012.csv",
// within `width` columns when it is above 0: the file name gives way from the
// left, where a long path has its least telling part; the figures never do.
// A bus: "A1 5 Hz miscount 0 rows 120  A2 ...", the addresses that do not fit
// summed up as "+3 more".
std::string FormatStatus(const StatusFigures& s, int width = 0);

// A message from the serial channel as one line: its own line breaks become blanks.
std::string OneLine(const std::string& text);

// Standard error as tiltlog uses it: whole message lines, and on a terminal one
// status line that each update rewrites in place.
class Console {
public:
    Console(int fd, bool terminal) : fd_(fd), terminal_(terminal) {}

    // One line, "tiltlog: " in front; a status line on screen is cleared first.
    void Message(const std::string& text);
    // Rewrites the status line; nothing when the descriptor is no terminal.
    void Status(const StatusFigures& figures);
    // Leaves a status line on screen and moves below it.
    void EndStatus();

    bool Terminal() const { return terminal_; }

private:
    void Write(const std::string& text);
    int Width() const;

    int fd_;
    bool terminal_;
    bool statusShown_ = false;
};
