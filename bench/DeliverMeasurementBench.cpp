// The window's per-measurement work: format the three value texts once and
// append the CSV row, with the recorder's writer running as it does on site.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "CsvRecorder.h"
#include "LiveReadout.h"
#include "LocalClock.h"

namespace {

void BM_DeliverMeasurementWhileRecording(benchmark::State& state) {
    const std::string folder = "/tmp/tiltscope-bench-deliver";
    std::filesystem::create_directories(folder);
    SystemClock clock;
    CsvRecorder recorder(clock);
    LiveReadout readout;
    readout.SetValueFormat("%.3f");
    recorder.Start(folder, "Bench");
    double x = 0;
    for (auto _ : state) {
        x += 0.001;
        readout.Format(Measurement{x, -x, 23.5});
        recorder.AppendRow(readout.XValueText(), readout.YValueText(), readout.TemperatureText());
    }
    recorder.Stop();
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DeliverMeasurementWhileRecording);

}  // namespace

BENCHMARK_MAIN();
