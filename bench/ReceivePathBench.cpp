// Receive-path throughput: complete replies assembled, checked, decoded and
// echoed as traffic text, in frames per CPU second. The traffic text is taken
// every few thousand frames, as the pane flush would, so memory stays bounded.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "TarqProtocol.h"

namespace {

constexpr int kFramesPerFlush = 4096;

class CountingQueue : public WriteQueue {
public:
    void QueueWrite(const uint8_t*, uint32_t n) override { bytes += n; }
    uint64_t bytes = 0;
};

std::vector<uint8_t> Repeat(const std::vector<uint8_t>& frame, int times) {
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

// Feeds blocks of `state.range(0)` frames until the time is up.
// With `noisy`, false starts before each frame count as miscounts by design.
void RunReceive(benchmark::State& state, int message, const std::vector<uint8_t>& frame,
                bool noisy = false) {
    const int framesPerBlock = static_cast<int>(state.range(0));
    const std::vector<uint8_t> block = Repeat(frame, framesPerBlock);
    DecodeParameters params;
    int64_t delivered = 0;
    ReceiveHandlers handlers;
    handlers.DeliverMeasurement = [&delivered](const Measurement& m) {
        benchmark::DoNotOptimize(m);
        ++delivered;
    };
    ReceivePath path(params, handlers);
    path.SetDeviceAddress(1);
    RxBlockInfo info;
    info.count = static_cast<uint32_t>(block.size());
    int sinceFlush = 0;
    size_t textBytes = 0;
    for (auto _ : state) {
        path.OnRxBlock(message, block.data(), info);
        sinceFlush += framesPerBlock;
        if (sinceFlush >= kFramesPerFlush) {
            textBytes += path.TakeTrafficText().size();
            path.TakeFramesThisSecond();
            sinceFlush = 0;
        }
    }
    if ((!noisy && path.Miscount() != 0) ||
        delivered != int64_t(state.iterations()) * framesPerBlock)
        state.SkipWithError("frames were not all decoded");
    benchmark::DoNotOptimize(textBytes);
    state.SetItemsProcessed(delivered);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}

const std::vector<uint8_t> kTarqThreeByte = {0x68, 0x0D, 0x00, 0x84, 0x00, 0x12, 0x34,
                                             0x10, 0x05, 0x67, 0x00, 0x25, 0x10, 0x88};
const std::vector<uint8_t> kTarqFourByte = {0x68, 0x10, 0x00, 0x84, 0x00, 0x01, 0x23, 0x45, 0x10,
                                            0x00, 0x50, 0x00, 0x00, 0x00, 0x25, 0x10, 0x92};
const std::vector<uint8_t> kModbusRead = {0x01, 0x03, 0x0A, 0x39, 0x30, 0x00, 0x00, 0x28,
                                          0x23, 0x00, 0x00, 0x09, 0xCE, 0xE4, 0x4C};

std::vector<uint8_t> AfterNoise(std::vector<uint8_t> noise, const std::vector<uint8_t>& frame) {
    noise.insert(noise.end(), frame.begin(), frame.end());
    return noise;
}

// Six bytes of noise before every reply, each run holding what the receiver
// hunts for: a stray start, a length or function no reply has, and a false
// start that swallows the reply and must be searched again.
void BM_TarqRepliesAmidNoise(benchmark::State& state) {
    RunReceive(state, MSG_RX_TARQ, AfterNoise({0x68, 0xFF, 0x33, 0x68, 0x0D, 0x00}, kTarqThreeByte),
               true);
}
void BM_ModbusRepliesAmidNoise(benchmark::State& state) {
    RunReceive(state, MSG_RX_MODBUS, AfterNoise({0x01, 0x45, 0x68, 0x01, 0x03, 0x0A}, kModbusRead),
               true);
}

void BM_TarqThreeByteReplies(benchmark::State& state) {
    RunReceive(state, MSG_RX_TARQ, kTarqThreeByte);
}
void BM_TarqFourByteReplies(benchmark::State& state) {
    RunReceive(state, MSG_RX_TARQ, kTarqFourByte);
}
void BM_ModbusReadReplies(benchmark::State& state) {
    RunReceive(state, MSG_RX_MODBUS, kModbusRead);
}

// One poll cycle as the acquisition runs it: request out (queued and echoed),
// then its reply delivered as one block.
void RunPollCycle(benchmark::State& state, int message, const std::vector<uint8_t>& request,
                  const std::vector<uint8_t>& reply) {
    DecodeParameters params;
    int64_t delivered = 0;
    ReceiveHandlers handlers;
    handlers.DeliverMeasurement = [&delivered](const Measurement&) { ++delivered; };
    CountingQueue queue;
    ReceivePath path(params, handlers);
    path.SetDeviceAddress(1);
    path.SetWriteQueue(&queue);
    path.SetLinkOpen(true);
    RxBlockInfo info;
    info.count = static_cast<uint32_t>(reply.size());
    int sinceFlush = 0;
    for (auto _ : state) {
        path.OnTxFrame(request.data(), request.size());
        path.OnRxBlock(message, reply.data(), info);
        if (++sinceFlush >= kFramesPerFlush) {
            benchmark::DoNotOptimize(path.TakeTrafficText());
            sinceFlush = 0;
        }
    }
    if (delivered != int64_t(state.iterations())) state.SkipWithError("replies were lost");
    benchmark::DoNotOptimize(queue.bytes);
    state.SetItemsProcessed(delivered);
}

void BM_TarqPollCycle(benchmark::State& state) {
    RunPollCycle(state, MSG_RX_TARQ, BuildTarqFrame(kTarqReadAngles, 0), kTarqThreeByte);
}
void BM_ModbusPollCycle(benchmark::State& state) {
    RunPollCycle(state, MSG_RX_MODBUS, BuildModbusRead(1), kModbusRead);
}

}  // namespace

// Argument: frames per delivered block (a serial read returns one reply or a burst).
BENCHMARK(BM_TarqThreeByteReplies)->Arg(1)->Arg(64);
BENCHMARK(BM_TarqFourByteReplies)->Arg(1)->Arg(64);
BENCHMARK(BM_ModbusReadReplies)->Arg(1)->Arg(64);
BENCHMARK(BM_TarqRepliesAmidNoise)->Arg(64);
BENCHMARK(BM_ModbusRepliesAmidNoise)->Arg(64);
BENCHMARK(BM_TarqPollCycle);
BENCHMARK(BM_ModbusPollCycle);

BENCHMARK_MAIN();
