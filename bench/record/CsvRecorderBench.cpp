// CSV recorder costs: what AppendRow adds to the measurement path, and how
// many rows a second the writer puts on the disk (real files under /tmp,
// each chunk fsync'ed).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "ChunkSink.h"
#include "CsvRecorder.h"
#include "LocalClock.h"

namespace fs = std::filesystem;

namespace {

const std::string kX = "12.34";
const std::string kY = "-0.37";
const std::string kT = "23.50";

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = "/tmp/tiltscope-bench-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Takes chunks and forgets them: the append path alone, with the writer still
// swapping buffers under the same lock.
class DiscardingSink : public ChunkSink {
public:
    bool FileSize(const std::string&, uint64_t&) override { return false; }
    AppendResult Append(const std::string&, std::string_view data) override {
        benchmark::DoNotOptimize(data.data());
        return AppendResult::Written;
    }
    bool MakeFolder(const std::string&) override { return true; }
};

void BM_AppendRow(benchmark::State& state) {
    SystemClock clock;
    DiscardingSink sink;
    RecorderOptions o;
    o.writePeriod = std::chrono::milliseconds(20);  // keeps the buffers small
    o.sink = &sink;
    CsvRecorder rec(clock, o);
    rec.Start("/tmp", "bench");
    for (auto _ : state) rec.AppendRow(kX, kY, kT);
    rec.Stop();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendRow);

// One writer cycle over a chunk of range(0) rows: take, write, fsync, close.
void BM_WriteChunkToDisk(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    ScratchFolder folder;
    SystemClock clock;
    RecorderOptions o;
    o.writePeriod = std::chrono::hours(1);  // cycles only on WriteNow
    CsvRecorder rec(clock, o);
    rec.Start(folder.Path(), "bench");
    uint64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < rows; ++i) rec.AppendRow(kX, kY, kT);
        bytes += rec.Stats().bytesHeld;
        state.ResumeTiming();
        rec.WriteNow(std::chrono::seconds(60));
    }
    rec.Stop();
    state.SetItemsProcessed(state.iterations() * rows);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteChunkToDisk)
    ->Arg(3000)  // 3 s of a 1 kHz sensor
    ->Arg(30000)
    ->Arg(300000)
    ->Arg(3000000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A feeder appending as fast as it can while the writer runs on its own timer;
// rows per second that reach the disk.
void BM_SustainedToDisk(benchmark::State& state) {
    const auto period = std::chrono::milliseconds(state.range(0));
    ScratchFolder folder;
    SystemClock clock;
    RecorderOptions o;
    o.writePeriod = period;
    for (auto _ : state) {
        CsvRecorder rec(clock, o);
        rec.Start(folder.Path(), "bench");
        const auto began = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - began < std::chrono::seconds(3)) {
            for (int i = 0; i < 1000; ++i) rec.AppendRow(kX, kY, kT);
        }
        rec.Stop();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        const RecorderStats s = rec.Stats();
        state.SetIterationTime(seconds);
        state.counters["written_rows_per_s"] = static_cast<double>(s.rowsWritten) / seconds;
        state.counters["dropped_rows"] = static_cast<double>(s.rowsDropped);
        state.counters["chunks"] = static_cast<double>(s.chunksWritten);
    }
}
BENCHMARK(BM_SustainedToDisk)
    ->Arg(100)
    ->Arg(3000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
