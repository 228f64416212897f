#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DialogTemplate.h"

// The review window's texts in both languages.

std::string ReviewTitle(const std::vector<std::string>& paths, Language language);
std::string ReviewLoadingText(size_t files, Language language);
// What was read: rows and sensors, the rows that could not be read and the
// files that failed, each file on a line of its own.
std::string ReviewSummaryText(uint64_t rows, size_t sensors, uint64_t unreadableRows,
                              const std::vector<std::string>& problems, Language language);
std::string ReviewExportButtonText(Language language);
std::string ReviewTemperatureBoxText(Language language);
std::string ReviewExportDialogTitle(Language language);
std::string ReviewExportFailedText(const std::string& path, const std::string& reason,
                                   Language language);
std::string ReviewExportDoneText(const std::string& path, Language language);
std::string ReviewOpenDialogTitle(Language language);
// The file-type filter of the open and export dialogs.
std::string ReviewCsvFilter(Language language);
