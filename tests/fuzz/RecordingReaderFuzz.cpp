// Any bytes as a recording: the reader must not crash, must give traces in
// time order with whole columns, and its export must be one line per row.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Recording.h"
#include "RecordingExport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with clock changes, so that skipped and repeated hours are reached.
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the file's name: a bus file's names its address.
    const std::string name = data[0] & 1 ? "Dam_A7_20261025020000.csv" : "Tiltscope.csv";
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const Recording r = ReadRecordingText(text, name);

    size_t rows = 0;
    int lastAddress = -2;
    for (const RecordedTrace& t : r.traces) {
        if (t.address <= lastAddress || t.address > 255 || t.Size() == 0) std::abort();
        lastAddress = t.address;
        const size_t n = t.Size();
        if (t.x.size() != n || t.y.size() != n || t.temperature.size() != n ||
            t.xDecimals.size() != n || t.yDecimals.size() != n || t.temperatureDecimals.size() != n)
            std::abort();
        if (!std::is_sorted(t.utcMs.begin(), t.utcMs.end())) std::abort();
        for (size_t i = 0; i < n; ++i) {
            if (std::isinf(t.x[i]) || t.xDecimals[i] > 15) std::abort();
            if (std::isnan(t.temperature[i]) && t.temperatureDecimals[i] != 0) std::abort();
        }
        rows += n;
    }
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (rows + r.unreadableRows > lines) std::abort();

    const std::string tidy = ExportText(r, INT64_MIN, INT64_MAX);
    if (static_cast<size_t>(std::count(tidy.begin(), tidy.end(), '\n')) != rows + 1) std::abort();
    return 0;
}
