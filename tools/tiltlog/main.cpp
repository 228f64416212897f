// tiltlog: logs a tilt sensor, or a bus of them, to CSV files without a window, with the window's
// own device link and recorder.

#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "Console.h"
#include "CsvFormat.h"
#include "CsvRecorder.h"
#include "ExportCommand.h"
#include "LocalClock.h"
#include "Logger.h"
#include "MqttPublisher.h"
#include "Options.h"
#include "ProgramTree.h"
#include "RecorderGroup.h"
#include "Serialport.h"
#include "ServiceNotify.h"
#include "SetCommand.h"
#include "StreamSink.h"
#include "SystemCalls.h"

namespace {

// Standard output is read by people and pipes: rows should not wait the
// file writer's three seconds.
constexpr std::chrono::milliseconds kStreamWritePeriod{250};

std::string ExecutablePath(const char* argv0) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(argv0 ? argv0 : "") : self.string();
}

// The signals that end a run arrive through a descriptor the loop polls, so no
// handler ever touches state. Blocked before any thread starts: every thread
// inherits the mask, and none of them takes the signal instead.
int BlockSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
    // A closed pipe on standard output shows as EPIPE from write instead, and
    // the file-size limit as EFBIG (the recorder then goes on in a new file).
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    return ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

int main(int argc, char** argv) {
    Console console(STDERR_FILENO, ::isatty(STDERR_FILENO) == 1);
    // Started by the package's launcher, the defaults are the user's own tree.
    const ProgramTree tree = ProgramTree::FromEnvironment();
    const std::string defaultOutput = DefaultDataFolder(tree.ProgramPath(ExecutablePath(argv[0])));
    LoggerOptions options;
    const ParseOutcome parsed =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), defaultOutput, options,
                     tree.PortsDir(), std::getenv(kMqttPasswordVariable));
    if (parsed.action == ParseOutcome::Action::Help) {
        std::fputs(HelpText(defaultOutput, tree.PortsDir()).c_str(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }
    if (parsed.action == ParseOutcome::Action::Fail) {
        console.Message(parsed.message + " (see --help)");
        return kExitUsage;
    }
    if (parsed.action == ParseOutcome::Action::Export)
        return RunExport(options.exportPath, options.exportFiles, console);
    if (parsed.action == ParseOutcome::Action::Set) {
        CSerialPort port(options.Ports());
        return SetCommand(options, port, console).Run();
    }
    if (!options.ToStandardOutput() && !options.NoFiles()) {
        // Checked now rather than at the first write three seconds in, while the
        // person who typed the name is still looking.
        std::error_code ec;
        std::filesystem::create_directories(options.output, ec);
        if (ec || !std::filesystem::is_directory(options.output, ec)) {
            console.Message("--output: cannot use '" + options.output +
                            "' as a folder: " + (ec ? ec.message() : std::string("not a folder")));
            return kExitUsage;
        }
    }

    // Under systemd (Type=notify): ready, the watchdog, stopping. Taken from
    // the environment before any thread starts.
    ServiceNotify service =
        ServiceNotify::FromEnvironment([&console](const std::string& m) { console.Message(m); });
    const Descriptor signals(BlockSignals());
    const Descriptor wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (signals.get() < 0 || wake.get() < 0) {
        console.Message(std::string("cannot set up the event descriptors: ") +
                        std::strerror(errno));
        return kExitFailure;
    }

    SystemClock clock;
    RecorderOptions recorderOptions;
    std::unique_ptr<StreamSink> stream;
    if (options.ToStandardOutput()) {
        const int wakeFd = wake.get();
        stream = std::make_unique<StreamSink>(STDOUT_FILENO, [wakeFd] {
            const uint64_t one = 1;
            RetryEintr([&] { return ::write(wakeFd, &one, sizeof one); });
        });
        recorderOptions.sink = stream.get();
        recorderOptions.writePeriod = kStreamWritePeriod;
        // The rows of a bus share the stream: each says whose it is.
        if (options.Bus()) recorderOptions.leadColumn = "Address";
    }
    // A bus writing files: one recorder, one file and one continuation per address.
    const size_t recorderCount =
        options.Bus() && !options.ToStandardOutput() ? options.addresses.size() : 1;
    std::vector<std::unique_ptr<CsvRecorder>> recorders;
    std::vector<CsvRecorder*> recorderParts;
    for (size_t i = 0; i < recorderCount; ++i) {
        recorders.push_back(std::make_unique<CsvRecorder>(clock, recorderOptions));
        recorderParts.push_back(recorders.back().get());
    }

    CSerialPort port(options.Ports());

    std::unique_ptr<MqttPublisher> feed;
    if (options.Mqtt()) {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
        MqttSettings mqtt;
        mqtt.target = options.mqtt;
        mqtt.caFile = options.mqttCa;
        mqtt.clientId = options.mqttClientId.empty()
                            ? MqttPublisher::DefaultClientId(host, options.PortLabel())
                            : options.mqttClientId;
        mqtt.queueBytes = options.mqttQueue;
        mqtt.addresses = options.addresses;
        // With files of its own for each address the feed can go on from them.
        if (!options.ToStandardOutput() && !options.NoFiles()) {
            mqtt.folder = options.output;
            for (uint8_t a : options.addresses)
                mqtt.prefixes.push_back(options.Bus() ? AddressPrefix(options.prefix, a)
                                                      : options.prefix);
        }
        feed = std::make_unique<MqttPublisher>(std::move(mqtt));
        std::string error;
        if (!feed->Start(error)) {
            console.Message(error);
            return kExitFailure;
        }
    }

    Logger logger(options, Logger::Parts{port, recorderParts, console, signals.get(), wake.get(),
                                         stream.get(), clock, feed.get(), &service});
    return logger.Run();
}
