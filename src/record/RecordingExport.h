#pragma once

#include <cstdint>
#include <string>

#include "Recording.h"

// The tidy form of a recording, for analysts' tools: one header row
// `address,time,x_deg,y_deg,temperature_c`, the time in ISO 8601 local time
// with milliseconds and the offset ("2026-12-10T13:50:05.024+01:00"), so that
// standard CSV readers take it as it is.

// Writes the tidy CSV (header `address,time,x_deg,y_deg,temperature_c`, ISO 8601
// local time with milliseconds and offset, rows in time order, values exactly as
// recorded, empty where never sent) of the rows with fromUtcMs <= time <= toUtcMs.
// The address is empty for a single sensor's file. On failure `error` holds the
// path and the system's reason, and no partial file is left behind.
bool ExportRecording(const Recording& recording, int64_t fromUtcMs, int64_t toUtcMs,
                     const std::string& path, std::string& error);

// The rows ExportRecording writes for that range, without the file: the
// header line and the rows, each ending in LF.
std::string ExportText(const Recording& recording, int64_t fromUtcMs, int64_t toUtcMs);
