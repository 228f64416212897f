#pragma once

#include <cstddef>
#include <string>

#include "LocalClock.h"

// The text of the CSV files: names, header, rows. Every line ends with CR LF,
// the line end these files have always had, so existing spreadsheets and
// scripts keep reading them.

// Without its line end. The blank before "Time" is part of the format.
extern const char kCsvHeader[];
extern const char kCsvLineEnd[];

// folder + "/" + prefix + "_" + YYYYMMDDhhmmss + ".csv". Two names made within
// the same second are equal: a second recording then appends to the first file.
std::string MakeCsvFileName(const std::string& folder, const std::string& prefix,
                            const LocalTime& time);
// The same name numbered, for a name someone else holds: "..._20240305090703-2.csv".
std::string NumberedCsvFileName(const std::string& path, int n);

// "2024-3-5 9:7:3'45 ": year-month-day hour:minute:second'millisecond, no
// leading zeros, one trailing blank.
std::string FormatRowTimeStamp(const LocalTime& time);

// Appends one row with its line end: x,y,temperature,time stamp. The value
// texts go in as the readout shows them; they must hold no comma or line end.
void AppendCsvRow(std::string& out, const std::string& x, const std::string& y,
                  const std::string& temperature, const LocalTime& time);

// The folder two levels above the executable file, then "data": an executable
// at /opt/tiltscope/bin/tiltscope records to /opt/tiltscope/data.
std::string DefaultDataFolder(const std::string& executablePath);

namespace csv_detail {
// Room for the widest stamp any int fields can give.
constexpr size_t kTimeStampCapacity = 7 * 12;
// Writes the stamp without a terminating zero; returns its length.
size_t WriteTimeStamp(char* out, const LocalTime& time);
// AppendCsvRow with the stamp made beforehand, so a caller can make it outside a lock.
void AppendRowWithStamp(std::string& out, const std::string& x, const std::string& y,
                        const std::string& temperature, const char* stamp, size_t stampSize);
}  // namespace csv_detail
