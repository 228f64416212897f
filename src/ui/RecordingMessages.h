#pragma once

#include <cstdint>
#include <string>

#include "DialogTemplate.h"
#include "RecordingAlerts.h"

// The window's boxes about the recording's writes, in the interface language.
// The system's reason is shown as the system words it.

// "" for news that needs no box.
std::string RecordingNewsText(const RecordingNews& news, Language language,
                              uint64_t heldLimitBytes);

// Closing with rows the disk has not taken: how many, where, why.
std::string UnwrittenRowsText(uint64_t rows, const WriteFault& fault, Language language);
std::string RetryButtonText(Language language);
std::string DiscardButtonText(Language language);

// Closing the window while recording: asked before the recording ends.
std::string QuitWhileRecordingText(Language language);
std::string YesButtonText(Language language);
std::string NoButtonText(Language language);

// MODEL names no file in the data folder: `used` is the prefix taken instead.
std::string RefusedModelText(const std::string& model, const std::string& used, Language language);
