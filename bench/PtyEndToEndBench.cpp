// End to end over a pseudo-terminal: tiltsim streams a fixed number of frames in
// automatic output as fast as the pty takes them; the channel and receive path
// count what arrives. The count is fixed rather than the time, because ending the
// simulator early hangs the line up and the kernel drops what it still holds.
// Usage: pty_end_to_end_bench [frames=4000000] [tarq|modbus] [noise bytes before each frame=0]
// With noise (every byte value), a frame the noise forms that passes its check is
// told from a real one by its values: the simulated sensor stays within a few
// degrees and near 25 degrees Celsius.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "Serialport.h"
#include "TarqProtocol.h"

namespace {

class BenchOwner : public SerialOwner {
public:
    explicit BenchOwner(ReceivePath& path) : path_(path) {}
    void DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) override {
        ++deliveries;
        path_.OnRxBlock(message, bytes, info);
        // The window empties the traffic text once a second; keep memory bounded here too.
        if (path_.PendingTrafficText().size() > (1u << 20)) path_.TakeTrafficText();
    }
    void WakeUiThread() override {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
        cv_.notify_one();
    }
    void ShowPortError(const std::string& text, const std::string&) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lastError = text;
        cv_.notify_one();
    }
    void WaitForWake(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, limit, [&] { return woken_; });
        woken_ = false;
    }
    long deliveries = 0;
    std::string lastError;

private:
    ReceivePath& path_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool woken_ = false;
};

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const long total = argc > 1 ? std::atol(argv[1]) : 4000000;
    const std::string protocol = argc > 2 ? argv[2] : "tarq";
    const bool modbus = protocol == "modbus";
    const std::string noise = argc > 3 ? argv[3] : "0";

    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return 1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        const std::string count = std::to_string(total);
        ::execl(TILTSIM_PATH, "tiltsim", "--protocol", protocol.c_str(), "--auto-hz", "max",
                "--count", count.c_str(), "--auto-after-request", "--noise", noise.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    std::string pty;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') pty += c;

    const std::string dir = "/tmp/tiltscope-bench-ports";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir + "/COM9");
    std::filesystem::create_symlink(pty, dir + "/COM9");

    DecodeParameters params;
    long measurements = 0;
    long implausible = 0;
    ReceiveHandlers handlers;
    handlers.DeliverMeasurement = [&](const Measurement& m) {
        ++measurements;
        const bool real =
            std::abs(m.x) <= 6 && std::abs(m.y) <= 4 && m.temperature > 23 && m.temperature < 27;
        if (!real) ++implausible;
    };
    ReceivePath path(params, handlers);
    path.SetDeviceAddress(modbus ? 1 : 0);
    BenchOwner owner(path);
    CSerialPort port{PortMap(dir)};
    if (modbus) port.SetProtocolSelector([] { return kProtocolModbus; });
    LineSettings line;
    line.portnr = 9;
    line.baud = 230400;
    if (!port.Open(&owner, line) || !port.StartMonitor()) {
        std::fprintf(stderr, "cannot open %s\n", pty.c_str());
        return 1;
    }

    // The simulator holds its output until it hears from us: nothing is purged by Open.
    path.SetWriteQueue(&port);
    path.SetLinkOpen(true);
    const auto wake = modbus ? BuildModbusRead(1) : BuildTarqFrame(kTarqReadAngles, 0);
    path.OnTxFrame(wake.data(), wake.size());

    long frames = 0;
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    // Done when every frame is in, or when the line has been quiet for 3 s.
    // Frames the noise forms count as frames too: wait for the real ones.
    while (measurements - implausible < total + 1 &&
           std::chrono::steady_clock::now() - last < std::chrono::seconds(3)) {
        while (port.ServiceDeliveries()) {
        }
        const int got = path.TakeFramesThisSecond();
        if (got > 0) last = std::chrono::steady_clock::now();
        frames += got;
        owner.WaitForWake(std::chrono::milliseconds(10));
    }
    const double seconds = std::chrono::duration<double>(last - start).count();
    const double cpu = CpuSeconds() - cpu0;
    port.Close();
    ::kill(pid, SIGTERM);

    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string simErr;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(err[0], buffer, sizeof buffer)) > 0) simErr.append(buffer, n);
    long sent = -1;
    const size_t at = simErr.find("frames_sent=");
    if (at != std::string::npos) sent = std::atol(simErr.c_str() + at + 12);

    const long real = measurements - implausible;
    const long lost = sent - real;
    std::printf(
        "protocol=%s noise=%s seconds=%.1f frames_sent=%ld frames_received=%ld "
        "measurements=%ld from_noise=%ld miscount=%d resyncs=%llu deliveries=%ld rate=%.0f/s "
        "cpu=%.2fs lost=%ld lost_per_100000=%.2f\n",
        protocol.c_str(), noise.c_str(), seconds, sent, frames, measurements, implausible,
        path.Miscount(), static_cast<unsigned long long>(path.Resyncs()), owner.deliveries,
        frames / seconds, cpu, lost, sent > 0 ? lost * 1e5 / sent : 0.0);
    if (noise == "0") return sent == frames && path.Miscount() == 0 ? 0 : 2;
    return lost == 0 ? 0 : 2;
}
