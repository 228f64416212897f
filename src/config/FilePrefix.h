#pragma once

#include <string>

// The first part of the recorder's file names (MODEL, tiltlog's --prefix). It is
// joined to a folder, so it must name a file in that folder and nothing else:
// no separator, no "." or "..", no control character, and short enough that
// the time stamp and ".csv" still fit in a file name.
bool FilePrefixAllowed(const std::string& prefix);

// What a file name may hold of the prefix: the longest name the file system
// takes less "_YYYYMMDDhhmmss.csv".
constexpr size_t kMaxFilePrefixBytes = 255 - 19;
