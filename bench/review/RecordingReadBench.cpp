// Reading recordings back: the wall time of ReadRecordings over the files
// given, the rows read and the peak resident memory per million rows
// (getrusage, so run one reading per process).
//
//   recording_read_bench [--runs N] FILE...

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Recording.h"

int main(int argc, char** argv) {
    int runs = 1;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (paths.empty()) {
        std::fputs("usage: recording_read_bench [--runs N] FILE...\n", stderr);
        return 2;
    }
    double best = 1e9;
    size_t rows = 0;
    uint64_t unreadable = 0;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const Recording recording = ReadRecordings(paths);
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, s);
        rows = 0;
        for (const RecordedTrace& t : recording.traces) rows += t.Size();
        unreadable = recording.unreadableRows;
        for (const std::string& p : recording.problems) std::fprintf(stderr, "%s\n", p.c_str());
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double peakMiB = usage.ru_maxrss / 1024.0;
    std::printf("%zu files, %zu rows (%llu unreadable): best of %d %.3f s, peak RSS %.1f MiB, "
                "%.1f MiB per million rows\n",
                paths.size(), rows, static_cast<unsigned long long>(unreadable), runs, best,
                peakMiB, rows ? peakMiB / (rows / 1e6) : 0.0);
    return 0;
}
