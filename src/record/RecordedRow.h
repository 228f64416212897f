#pragma once

#include <cstdint>
#include <string_view>

// One line of a recording as the recorder wrote it, read back without
// guessing: "1.25,-0.37,23.50,2024-3-5 9:7:3'45 " (tiltlog's bus output puts
// the address and a comma in front). Locale-free: the process may run in a
// locale with a decimal comma.

struct RecordedRow {
    int address = -1;  // -1: the row names none
    // x, y, temperature; NaN where the field was empty.
    double value[3] = {0, 0, 0};
    uint8_t decimals[3] = {0, 0, 0};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;

    // The wall-clock time as if it were UTC, in milliseconds.
    int64_t LocalMs() const;
};

enum class LineKind { Row, Header, BusHeader, Blank, Unreadable };

// `line` without its line end (a CR before the LF is taken off here). A row
// of five fields gives its address; whether the file may hold such rows (after
// a BusHeader) is the caller's to judge.
// A row is read only when every field is whole: the stamp must end in its
// blank, so a line cut short inside the milliseconds is never read as fewer
// milliseconds. A value has at most 15 digits, so that it prints back as
// written.
LineKind ParseRecordingLine(std::string_view line, RecordedRow& row);

// The address in a tiltlog bus file's name, PREFIX_A<addr>_YYYYMMDDhhmmss.csv
// (or numbered, ...-2.csv); -1 for any other name. Folders in front are ignored.
int AddressFromFileName(std::string_view path);
