#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "CsvRecorder.h"
#include "RecordingAlerts.h"
#include "ValueText.h"

// One sensor's share of a run: what its rows show, where they go and how many
// there were. On a bus each address has one; alone on its line, the sensor too.
struct SensorLog {
    uint8_t address = 0;
    CsvRecorder* recorder = nullptr;  // shared by all when rows go to standard output
    bool ownsRecorder = true;         // starts, stops and reports on it
    std::string prefix;               // of its file names
    std::string lead;                 // before every row: "3," on a shared stream
    // What the rows show: a value the sensor never sent stays an empty field.
    KeptValue x, y, temperature;
    uint64_t rows = 0;
    // Nobody answers a box here: a lasting fault is said again once a minute.
    RecordingAlerts alerts{std::chrono::minutes(1)};
};
