#pragma once

#include <string>

#include "CsvFollower.h"

// The feed's position beside a sensor's CSV files, PREFIX.mqtt-position:
//   file PREFIX_20261211023000.csv
//   rows 1234
// Replaced whole (a new file renamed over the old), so a crash leaves the
// last position or the one before, never half of one.
std::string FeedPositionPath(const std::string& folder, const std::string& prefix);

enum class PositionRead { Read, Missing, Unreadable };
// Unreadable: `error` says why (the system's reason, or what is wrong in it).
PositionRead ReadFeedPosition(const std::string& path, FeedPosition& position, std::string& error);
bool WriteFeedPosition(const std::string& path, const FeedPosition& position, std::string& error);
