// What a disk that refuses every write costs the process in memory: rows are
// made as fast as one thread can (far above any serial line), the recorder
// holds what it may and drops the rest, and the resident size is sampled.
//
//   held_rows_memory [SECONDS=20] [ROWS_PER_SECOND=0, as fast as possible]

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "ChunkSink.h"
#include "CsvRecorder.h"
#include "LocalClock.h"

namespace {

// A full disk: every chunk is refused with the reason a full disk gives.
class FullDisk : public ChunkSink {
public:
    bool FileSize(const std::string&, uint64_t&) override { return false; }
    AppendResult Append(const std::string&, std::string_view) override {
        return AppendResult::WriteFailed;
    }
    bool MakeFolder(const std::string&) override { return true; }
    int LastError() const override { return ENOSPC; }
};

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const long rate = argc > 2 ? std::atol(argv[2]) : 0;
    SystemClock clock;
    FullDisk disk;
    RecorderOptions o;
    o.sink = &disk;
    CsvRecorder rec(clock, o);
    const long before = ResidentKb();
    rec.Start("/nonexistent", "bench");

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> made{0};
    std::thread producer([&] {
        const auto start = std::chrono::steady_clock::now();
        uint64_t n = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            rec.AppendRow("-12.3456", "45.6789", "23.50");
            ++n;
            if (rate > 0 && n % 100 == 0) {
                const auto due = start + std::chrono::microseconds(n * 1000000 / rate);
                std::this_thread::sleep_until(due);
            }
            if (n % 4096 == 0) made.store(n, std::memory_order_relaxed);
        }
        made.store(n);
    });
    long peak = before;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peak = std::max(peak, ResidentKb());
    }
    stop = true;
    producer.join();
    const RecorderStats s = rec.Stats();
    rec.Stop();
    std::printf("seconds=%d rows_made=%llu rows_per_second=%.0f\n", seconds,
                static_cast<unsigned long long>(made.load()),
                static_cast<double>(made.load()) / seconds);
    std::printf("held_bound_kb=%llu bytes_held_kb=%llu rows_dropped=%llu\n",
                static_cast<unsigned long long>(o.heldBytesLimit / 1024),
                static_cast<unsigned long long>(s.bytesHeld / 1024),
                static_cast<unsigned long long>(s.rowsDropped));
    std::printf("rss_before_kb=%ld rss_peak_kb=%ld rss_growth_kb=%ld\n", before, peak,
                peak - before);
    return 0;
}
