#pragma once

#include <string>
#include <vector>

#include "Console.h"

// tiltlog --export OUT FILE...: the recordings read back and written as one
// tidy CSV. Returns the exit status: 0 written, 1 a recording could not be
// read or OUT not written (nothing is written then), 2 OUT is one of them.
int RunExport(const std::string& outPath, const std::vector<std::string>& files, Console& console);
