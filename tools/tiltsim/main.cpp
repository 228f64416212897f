// tiltsim: a tilt sensor, or an RS-485 bus of them, on a pseudo-terminal or a TCP port;
// the project's test partner and demo device.

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <getopt.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "AddressList.h"
#include "LineMatch.h"
#include "LinePacer.h"
#include "LineSettings.h"
#include "ListenAddress.h"
#include "ProgramTree.h"
#include "SensorBus.h"
#include "SensorSimulator.h"

namespace {

// --split: the piece size and the pause between the pieces of one frame.
constexpr size_t kSplitPieceBytes = 3;
constexpr double kSplitPauseSeconds = 0.002;
// Automatic output stops queueing while this many frames wait for the line, so a
// terminal nobody reads fills up and waits instead of growing memory.
constexpr size_t kMaxBacklogFrames = 32;
// A timer that fell this far behind (line blocked) restarts instead of bursting.
constexpr double kMaxAutoLagSeconds = 0.1;
// --auto-hz max: frames made per loop turn while the terminal keeps taking them.
constexpr int kMaxBurstFrames = 64;
// After a read error on the master, look again this much later rather than spin.
constexpr double kReadRetrySeconds = 0.1;
// --standard, --auto-hz max: while the client's line differs, frames are dropped
// as soon as they are made; look at the line again this much later, not at once.
constexpr double kLineRecheckSeconds = 0.02;

// --line-rate without --turnaround-us: the pause before a reply, about what a
// sensor's firmware takes to turn its RS-485 driver round.
constexpr long kDefaultTurnaroundUs = 1000;
// Waiting clients beyond the one served.
constexpr int kListenBacklog = 4;

struct Args {
    SimulatorOptions sim;
    std::vector<uint8_t> addresses;
    bool addressGiven = false;
    long lineRate = 0;
    long turnaroundUs = kDefaultTurnaroundUs;
    bool listening = false;
    ListenAddress listenAt;
    long count = -1;
    bool split = false;
    bool autoAfterRequest = false;
    long unplugAfter = -1;
    std::string link;
    std::string portsDir = "../config/ports";
};

void PrintHelp(FILE* to, const std::string& defaultPortsDir) {
    fputs(
        "Usage: tiltsim [OPTION]...\n"
        "A dual-axis tilt sensor, or a bus of them, on a pseudo-terminal or, with\n"
        "--listen, a TCP port. The terminal's path (or the tcp:// address) is the first\n"
        "line of standard output.\n"
        "\n"
        "  --protocol tarq|modbus    wire protocol (default tarq)\n"
        "  --address LIST            bus addresses 0..254, for modbus 1..254 as 0 is the\n"
        "                            broadcast address (default 0 for tarq, 1 for modbus).\n"
        "                            A list such as 1-3,7 puts one sensor per address on\n"
        "                            the line, each with its own signal, each answering only\n"
        "                            its own address; a frame-protocol request to FF is then\n"
        "                            obeyed but not answered. Automatic output, --baud and\n"
        "                            --parity belong to the first address's sensor\n"
        "  --layout 10|13|15|16|17   frame-protocol reply length byte (default 13)\n"
        "  --command 81|82|84|94     frame-protocol reply command, hex (default 84)\n"
        "  --auto-hz RATE|max        automatic output, frames per second; 0 = off, max = as\n"
        "                            fast as the terminal takes them (default 0)\n"
        "  --count N                 stop automatic output after N frames, keep answering\n"
        "                            (default no limit)\n"
        "  --auto-after-request      hold automatic output until the first request arrives\n"
        "                            (a client that purges its input on open loses nothing)\n"
        "  --bad-checksum-every N    wrong checksum or CRC on every Nth measurement frame\n"
        "                            (default 0 = never)\n"
        "  --noise N                 N random bytes of every value before every frame, 0x68\n"
        "                            and the address included (default 0)\n"
        "  --garbage                 automatic output is random bytes of every value, 17 per\n"
        "                            frame, instead of measurements (default off)\n"
        "  --flood HEX               automatic output is that one byte value, 17 per frame,\n"
        "                            instead of measurements (--flood 68: a line of headers)\n"
        "  --split                   write every frame in 3-byte pieces 2 ms apart (default off)\n"
        "  --silent                  never answer a request (default off)\n"
        "  --unplug-after N          close the terminal after N frames sent (replies included),\n"
        "                            as if the adapter were pulled (default never)\n"
        "  --link COM<n>             register as port COM<n>: a link DIR/COM<n> to the terminal,\n"
        "                            removed on exit (default none)\n",
        to);
    fprintf(to, "  --ports-dir DIR           DIR for --link (default %s)\n",
            defaultPortsDir.c_str());
    fputs(
        "  --standard                Modbus only: behave as a standard Modbus device: a new\n"
        "                            address, baud rate or parity holds at once after the\n"
        "                            echo (the old address is no longer answered), and only a\n"
        "                            client whose terminal has the sensor's speed and parity\n"
        "                            is heard or sent to (default off: the old address keeps\n"
        "                            being answered after a change, and any line settings do)\n"
        "  --registers-as-asked      Modbus only: answer a read with exactly the registers\n"
        "                            asked for, 2 data bytes each, as a standard device does:\n"
        "                            asked for 4 (what Tiltscope asks for) it sends 8 bytes,\n"
        "                            X and Y without the temperature; automatic output sends\n"
        "                            what the last read asked for (default off: 10 data bytes\n"
        "                            whether 4 or 5 registers are asked for)\n"
        "  --baud N                  the sensor's line speed at start: 2400, 4800, 9600, 19200,\n"
        "                            38400, 115200 or 230400 (default 9600)\n"
        "  --parity N|O|E            the sensor's parity at start (default N)\n"
        "  --line-rate BAUD          pace every byte written at BAUD: 10 bits a byte with\n"
        "                            parity N (start, 8 data, stop), 11 with O or E, so the\n"
        "                            terminal delivers no faster than the real line; the\n"
        "                            bytes read take their time on the line too, which is\n"
        "                            half duplex: nothing is written while they last\n"
        "                            (default off: as fast as the terminal takes them)\n"
        "  --turnaround-us N         with --line-rate: a reply starts N microseconds after\n"
        "                            the request's last byte would have ended on the line\n"
        "                            (default 1000)\n"
        "  --listen tcp://IP:PORT    serve the line over TCP instead of a pseudo-terminal,\n"
        "                            one client at a time, as an RS-485-to-Ethernet converter\n"
        "                            does; PORT 0 picks a free port. The first line of\n"
        "                            standard output is then tcp://IP:PORT, the port chosen\n"
        "  --help                    show this text\n"
        "\n"
        "A settings request for the output frequency changes the --auto-hz rate.\n"
        "Modbus: a standard master reads 5 registers from register 2: X in registers 2-3,\n"
        "Y in 4-5, the temperature in 6. The sensor answers with 10 data bytes whether 4\n"
        "or 5 registers are asked for, unless --registers-as-asked. A request to address 0\n"
        "(broadcast) is obeyed and never answered; a function other than 03 and 06 gets\n"
        "exception 01.\n"
        "A pseudo-terminal keeps no even-parity flag: with --standard, even parity and none\n"
        "cannot be told apart there.\n"
        "SIGUSR1 unplugs at once (an unplugged port loses its --link as well); SIGUSR2\n"
        "silences the sensor (no reply, no automatic output) until the next SIGUSR2;\n"
        "SIGINT, SIGTERM and SIGHUP remove the link and exit 0.\n"
        "At exit \"frames_sent=N\" (every frame written in full) goes to standard error.\n",
        to);
}

bool ParseLong(const char* text, long low, long high, long& out, int base = 10) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long v = strtol(text, &end, base);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool Fail(const char* option, const char* value) {
    fprintf(stderr, "tiltsim: invalid value '%s' for --%s (see --help)\n", value ? value : "",
            option);
    return false;
}

bool ParseArgs(int argc, char** argv, Args& args) {
    const std::string defaultPortsDir = args.portsDir;
    enum {
        kProtocol = 1000,
        kAddress,
        kLayout,
        kCommand,
        kAutoHz,
        kCount,
        kAutoAfterRequest,
        kBadChecksum,
        kNoise,
        kSplit,
        kSilent,
        kGarbage,
        kFlood,
        kUnplugAfter,
        kLink,
        kPortsDir,
        kStandard,
        kRegistersAsAsked,
        kBaud,
        kParity,
        kLineRate,
        kTurnaround,
        kListen,
        kHelp
    };
    static const option kOptions[] = {
        {"protocol", required_argument, nullptr, kProtocol},
        {"address", required_argument, nullptr, kAddress},
        {"layout", required_argument, nullptr, kLayout},
        {"command", required_argument, nullptr, kCommand},
        {"auto-hz", required_argument, nullptr, kAutoHz},
        {"count", required_argument, nullptr, kCount},
        {"auto-after-request", no_argument, nullptr, kAutoAfterRequest},
        {"bad-checksum-every", required_argument, nullptr, kBadChecksum},
        {"noise", required_argument, nullptr, kNoise},
        {"split", no_argument, nullptr, kSplit},
        {"silent", no_argument, nullptr, kSilent},
        {"garbage", no_argument, nullptr, kGarbage},
        {"flood", required_argument, nullptr, kFlood},
        {"unplug-after", required_argument, nullptr, kUnplugAfter},
        {"link", required_argument, nullptr, kLink},
        {"ports-dir", required_argument, nullptr, kPortsDir},
        {"standard", no_argument, nullptr, kStandard},
        {"registers-as-asked", no_argument, nullptr, kRegistersAsAsked},
        {"baud", required_argument, nullptr, kBaud},
        {"parity", required_argument, nullptr, kParity},
        {"line-rate", required_argument, nullptr, kLineRate},
        {"turnaround-us", required_argument, nullptr, kTurnaround},
        {"listen", required_argument, nullptr, kListen},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0},
    };
    int c;
    long v = 0;
    while ((c = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
        const char* a = optarg;
        switch (c) {
            case kProtocol:
                if (strcmp(a, "tarq") == 0) {
                    args.sim.protocol = SimProtocol::Tarq;
                } else if (strcmp(a, "modbus") == 0) {
                    args.sim.protocol = SimProtocol::Modbus;
                } else {
                    return Fail("protocol", a);
                }
                break;
            case kAddress: {
                std::string error;
                if (!ParseAddressList(a, args.addresses, error)) {
                    fprintf(stderr, "tiltsim: invalid value '%s' for --address: %s (see --help)\n",
                            a, error.c_str());
                    return false;
                }
                for (uint8_t address : args.addresses) {
                    if (address > 254) {
                        fprintf(stderr,
                                "tiltsim: invalid value '%s' for --address: %u is above 254 "
                                "(see --help)\n",
                                a, address);
                        return false;
                    }
                }
                args.addressGiven = true;
                break;
            }
            case kLayout:
                if (!ParseLong(a, 10, 17, v) ||
                    (v != 10 && v != 13 && v != 15 && v != 16 && v != 17))
                    return Fail("layout", a);
                args.sim.layout = static_cast<int>(v);
                break;
            case kCommand:
                if (!ParseLong(a, 0, 0xFF, v, 16) ||
                    (v != 0x81 && v != 0x82 && v != 0x84 && v != 0x94))
                    return Fail("command", a);
                args.sim.replyCommand = static_cast<uint8_t>(v);
                break;
            case kAutoHz: {
                if (strcmp(a, "max") == 0) {
                    args.sim.outputHz = std::numeric_limits<double>::infinity();
                    break;
                }
                char* end = nullptr;
                const double hz = strtod(a, &end);
                if (*a == '\0' || *end != '\0' || !(hz >= 0) || !std::isfinite(hz) || hz > 1e6)
                    return Fail("auto-hz", a);
                args.sim.outputHz = hz;
                break;
            }
            case kAutoAfterRequest:
                args.autoAfterRequest = true;
                break;
            case kCount:
                if (!ParseLong(a, 0, std::numeric_limits<long>::max(), args.count))
                    return Fail("count", a);
                break;
            case kBadChecksum:
                if (!ParseLong(a, 0, std::numeric_limits<int>::max(), v))
                    return Fail("bad-checksum-every", a);
                args.sim.badChecksumEvery = static_cast<int>(v);
                break;
            case kNoise:
                if (!ParseLong(a, 0, 4096, v)) return Fail("noise", a);
                args.sim.noiseBytes = static_cast<int>(v);
                break;
            case kSplit:
                args.split = true;
                break;
            case kSilent:
                args.sim.silent = true;
                break;
            case kGarbage:
                args.sim.garbage = true;
                break;
            case kFlood: {
                char* end = nullptr;
                const long byte = std::strtol(a, &end, 16);
                if (end == a || *end != '\0' || byte < 0 || byte > 255) return Fail("flood", a);
                args.sim.floodByte = static_cast<int>(byte);
                break;
            }
            case kUnplugAfter:
                if (!ParseLong(a, 1, std::numeric_limits<long>::max(), args.unplugAfter))
                    return Fail("unplug-after", a);
                break;
            case kLink:
                if (strncmp(a, "COM", 3) != 0 || !ParseLong(a + 3, 1, 199, v))
                    return Fail("link", a);
                args.link = a;
                break;
            case kPortsDir:
                if (*a == '\0') return Fail("ports-dir", a);
                args.portsDir = a;
                break;
            case kStandard:
                args.sim.standardDevice = true;
                break;
            case kRegistersAsAsked:
                args.sim.registersAsAsked = true;
                break;
            case kBaud:
                if (!ParseLong(a, 1, 230400, v) ||
                    std::find(std::begin(kSupportedBauds), std::end(kSupportedBauds), v) ==
                        std::end(kSupportedBauds))
                    return Fail("baud", a);
                args.sim.baud = static_cast<uint32_t>(v);
                break;
            case kParity:
                if (strcmp(a, "N") != 0 && strcmp(a, "O") != 0 && strcmp(a, "E") != 0)
                    return Fail("parity", a);
                args.sim.parity = a[0];
                break;
            case kLineRate:
                if (!ParseLong(a, 50, 4000000, args.lineRate)) return Fail("line-rate", a);
                break;
            case kTurnaround:
                if (!ParseLong(a, 0, 10000000, args.turnaroundUs)) return Fail("turnaround-us", a);
                break;
            case kListen: {
                std::string error;
                if (!ParseListenAddress(a, args.listenAt, error)) {
                    fprintf(stderr, "tiltsim: invalid value for --listen: %s (see --help)\n",
                            error.c_str());
                    return false;
                }
                args.listening = true;
                break;
            }
            case kHelp:
                PrintHelp(stdout, defaultPortsDir);
                exit(0);
            default:
                return false;  // getopt has said what was wrong
        }
    }
    if (optind < argc) {
        fprintf(stderr, "tiltsim: unexpected argument '%s' (see --help)\n", argv[optind]);
        return false;
    }
    if (!args.addressGiven)
        args.addresses = {static_cast<uint8_t>(args.sim.protocol == SimProtocol::Modbus ? 1 : 0)};
    args.sim.address = args.addresses.front();
    if (args.sim.protocol == SimProtocol::Modbus &&
        std::find(args.addresses.begin(), args.addresses.end(), 0) != args.addresses.end()) {
        fputs("tiltsim: a Modbus sensor cannot have the broadcast address 0 (see --help)\n",
              stderr);
        return false;
    }
    if (args.sim.standardDevice && args.addresses.size() > 1) {
        fputs("tiltsim: --standard takes a single --address (see --help)\n", stderr);
        return false;
    }
    if (args.listening && (args.sim.standardDevice || !args.link.empty())) {
        fputs("tiltsim: --standard and --link need a pseudo-terminal, not --listen (see --help)\n",
              stderr);
        return false;
    }
    if (args.sim.standardDevice && args.sim.protocol != SimProtocol::Modbus) {
        fputs("tiltsim: --standard needs --protocol modbus (see --help)\n", stderr);
        return false;
    }
    if (args.sim.registersAsAsked && args.sim.protocol != SimProtocol::Modbus) {
        fputs("tiltsim: --registers-as-asked needs --protocol modbus (see --help)\n", stderr);
        return false;
    }
    return true;
}

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool MakeDirs(const std::string& path) {
    std::string partial;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        partial = path.substr(0, slash);
        if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        from = slash + 1;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens the master and configures the slave; the slave stays open with us so the
// master never reports a hang-up while no client has it open, and its raw mode
// (no echo, no line editing) is what a client finds when it opens the terminal.
// `line`, when given, is the speed and parity a client finds there too.
bool OpenPty(int& master, int& slave, std::string& slavePath, const LineSettings* line) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return false;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
        return false;
    slavePath = name;
    slave = open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) return false;
    termios tio{};
    if (tcgetattr(slave, &tio) != 0) return false;
    cfmakeraw(&tio);
    if (line) {
        termios wanted{};
        if (!BuildTermios(tio, *line, wanted)) return false;
        tio = wanted;
    }
    if (tcsetattr(slave, TCSANOW, &tio) != 0) return false;
    const int flags = fcntl(master, F_GETFL);
    return flags >= 0 && fcntl(master, F_SETFL, flags | O_NONBLOCK) == 0;
}

// A piece of a frame waiting for the line; `last` marks the frame's final piece.
struct Piece {
    std::vector<uint8_t> bytes;
    size_t written = 0;
    bool last = true;
    bool pauseBefore = false;
    // The sensor's line when the frame was made: an echo goes out at the old
    // settings even when the request it answers changed them.
    uint32_t baud = 0;
    char parity = 'N';
    // A reply waits for the line to turn round after its request.
    double notBefore = 0;
    // --line-rate: the frame has its start on the line.
    bool paced = false;
};

// Listens on `at`; `port` is the port bound, the one the system chose for 0.
bool OpenListener(const ListenAddress& at, int& fd, uint16_t& port) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(at.port);
    if (inet_pton(AF_INET, at.host.c_str(), &addr.sin_addr) != 1) {
        errno = EINVAL;
        return false;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, kListenBacklog) != 0)
        return false;
    socklen_t size = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) return false;
    port = ntohs(addr.sin_port);
    return true;
}

class Simulator {
public:
    explicit Simulator(const Args& args)
        : args_(args), bus_(args.sim, args.addresses), sensor_(bus_.Primary()) {
        if (args.lineRate > 0)
            pacer_.emplace(static_cast<uint32_t>(args.lineRate),
                           LinePacer::BitsPerByte(args.sim.parity));
    }

    int Run() {
        if (args_.listening) {
            uint16_t port = 0;
            if (!OpenListener(args_.listenAt, listenFd_, port)) {
                fprintf(stderr, "tiltsim: cannot listen on tcp://%s:%u: %s\n",
                        args_.listenAt.host.c_str(), args_.listenAt.port, strerror(errno));
                return 1;
            }
            slavePath_ = "tcp://" + args_.listenAt.host + ":" + std::to_string(port);
        } else {
            LineSettings line;
            line.baud = sensor_.Baud();
            line.parity = sensor_.Parity();
            if (!OpenPty(master_, slave_, slavePath_, args_.sim.standardDevice ? &line : nullptr)) {
                perror("tiltsim: pseudo-terminal");
                return 1;
            }
        }
        if (!SetUpSignals()) return 1;
        if (!args_.link.empty() && !CreateLink()) return 1;
        printf("%s\n", slavePath_.c_str());
        fflush(stdout);

        // A paced line waits tens of microseconds at a time: the kernel's default
        // 50 us of timer slack on each wait would stretch every frame.
        if (pacer_) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        start_ = Now();
        while (!quit_) Step();

        RemoveLink();
        fprintf(stderr, "frames_sent=%llu\n", static_cast<unsigned long long>(framesSent_));
        return 0;
    }

private:
    double Clock() const { return Now() - start_; }

    bool CreateLink() {
        if (!MakeDirs(args_.portsDir)) {
            fprintf(stderr, "tiltsim: cannot create %s: %s\n", args_.portsDir.c_str(),
                    strerror(errno));
            return false;
        }
        linkPath_ = args_.portsDir + "/" + args_.link;
        // A link left by a simulator that was killed is ours to replace; a file is not.
        struct stat st {};
        if (lstat(linkPath_.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode) || unlink(linkPath_.c_str()) != 0) {
                fprintf(stderr, "tiltsim: %s exists and is not a link\n", linkPath_.c_str());
                linkPath_.clear();
                return false;
            }
        }
        if (symlink(slavePath_.c_str(), linkPath_.c_str()) != 0) {
            fprintf(stderr, "tiltsim: cannot link %s: %s\n", linkPath_.c_str(), strerror(errno));
            linkPath_.clear();
            return false;
        }
        return true;
    }

    void RemoveLink() {
        if (linkPath_.empty()) return;
        unlink(linkPath_.c_str());
        linkPath_.clear();
    }

    bool SetUpSignals() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        sigaddset(&set, SIGUSR1);
        sigaddset(&set, SIGUSR2);
        if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
        signal(SIGPIPE, SIG_IGN);
        signalFd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        if (signalFd_ < 0) perror("tiltsim: signalfd");
        return signalFd_ >= 0;
    }

    void OnSignals() {
        signalfd_siginfo info{};
        while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo == SIGUSR1) {
                Unplug();
            } else if (info.ssi_signo == SIGUSR2) {
                hushed_ = !hushed_;
            } else {
                quit_ = true;
            }
        }
    }

    // The adapter is gone: the device node disappears with the last descriptor,
    // as a USB port's does, and so does its name.
    void Unplug() {
        if (master_ < 0 && listenFd_ < 0) return;
        for (int* fd : {&master_, &slave_, &listenFd_}) {
            if (*fd >= 0) close(*fd);
            *fd = -1;
        }
        queue_.clear();
        RemoveLink();
        fprintf(stderr, "tiltsim: unplugged after %llu frames\n",
                static_cast<unsigned long long>(framesSent_));
    }

    // The TCP client went away: its unsent frames with it; the next may connect.
    void DropClient() {
        if (master_ >= 0) close(master_);
        master_ = -1;
        queue_.clear();
        framesQueued_ = 0;
        frontDue_ = 0;
    }

    void Accept() {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // gone before we took it; poll tells of the next
        // Paced bytes go out one or two at a time; do not let them wait for company.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        master_ = fd;
        readRetryAt_ = 0;
    }

    // Whether the client's terminal, as it is set now, has the line the sensor
    // uses; a standard device talking at other settings is garbage to it.
    bool ClientHears(uint32_t baud, char parity) const {
        if (!args_.sim.standardDevice) return true;
        termios tio{};
        // The master reports the slave's settings, which the client sets.
        if (tcgetattr(master_, &tio) != 0) return true;
        return LineMatches(tio, baud, parity);
    }

    // Drops the rest of the frame at the front of the queue.
    void DropFrontFrame() {
        while (!queue_.empty()) {
            const bool last = queue_.front().last;
            queue_.pop_front();
            if (last) break;
        }
        --framesQueued_;
        frontDue_ = 0;
    }

    void Enqueue(const std::vector<uint8_t>& frame, uint32_t baud, char parity,
                 double notBefore = 0) {
        if (frame.empty()) return;
        if (queue_.empty()) frontDue_ = 0;
        const size_t piece = args_.split ? kSplitPieceBytes : frame.size();
        for (size_t at = 0; at < frame.size(); at += piece) {
            Piece p;
            const size_t end = std::min(frame.size(), at + piece);
            p.bytes.assign(frame.begin() + static_cast<std::ptrdiff_t>(at),
                           frame.begin() + static_cast<std::ptrdiff_t>(end));
            p.last = end == frame.size();
            p.pauseBefore = at != 0;
            p.baud = baud;
            p.parity = parity;
            p.notBefore = notBefore;
            queue_.push_back(std::move(p));
        }
        ++framesQueued_;
    }

    size_t FrontFrameBytes() const {
        size_t bytes = 0;
        for (const Piece& p : queue_) {
            bytes += p.bytes.size() - p.written;
            if (p.last) break;
        }
        return bytes;
    }

    // Writes what is due until the terminal would block; a partial write resumes
    // where it stopped, so no frame is ever cut or lost.
    void Flush(double now) {
        while (master_ >= 0 && !queue_.empty() && frontDue_ <= now) {
            Piece& p = queue_.front();
            if (p.written == 0 && !ClientHears(p.baud, p.parity)) {
                DropFrontFrame();
                lineRecheckAt_ = now + kLineRecheckSeconds;
                continue;
            }
            if (p.written == 0 && p.notBefore > now) {
                frontDue_ = p.notBefore;
                return;
            }
            size_t want = p.bytes.size() - p.written;
            if (pacer_) {
                if (!p.paced && !p.pauseBefore)
                    pacer_->BeginFrame(now, FrontFrameBytes(), p.notBefore);
                p.paced = true;
                want = std::min(want, pacer_->Allowance(now));
                if (want == 0) {
                    frontDue_ = pacer_->NextByteDone();
                    return;
                }
            }
            const ssize_t n = write(master_, p.bytes.data() + p.written, want);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;  // wait for POLLOUT
                if (listenFd_ >= 0 && (errno == EPIPE || errno == ECONNRESET)) {
                    DropClient();
                    return;
                }
                perror("tiltsim: write");
                Unplug();
                return;
            }
            if (pacer_) pacer_->Sent(static_cast<size_t>(n));
            p.written += static_cast<size_t>(n);
            if (p.written < p.bytes.size()) continue;
            const bool frameDone = p.last;
            queue_.pop_front();
            frontDue_ =
                !queue_.empty() && queue_.front().pauseBefore ? now + kSplitPauseSeconds : 0;
            if (frameDone) {
                --framesQueued_;
                ++framesSent_;
                if (args_.unplugAfter >= 0 &&
                    framesSent_ >= static_cast<uint64_t>(args_.unplugAfter))
                    Unplug();
            }
        }
    }

    bool AutoOutputOn() const {
        return master_ >= 0 && !hushed_ && sensor_.OutputHz() > 0 &&
               (!args_.autoAfterRequest || requestSeen_) &&
               (args_.count < 0 || autoMade_ < static_cast<uint64_t>(args_.count));
    }

    void AutoOutput(double now) {
        if (!AutoOutputOn()) return;
        const double hz = sensor_.OutputHz();
        if (std::isinf(hz)) {
            if (now < lineRecheckAt_) return;
            // As fast as the line takes them: refill whenever the last frame is out,
            // a bounded burst per turn so requests and signals still get theirs.
            for (int i = 0; i < kMaxBurstFrames && queue_.empty() && AutoOutputOn(); ++i) {
                MakeAutoFrame(now);
                Flush(now);
            }
            return;
        }
        if (hz != autoHz_) {  // started, or a frequency request changed the rate
            autoHz_ = hz;
            nextAuto_ = now;
        }
        const double period = 1.0 / hz;
        if (nextAuto_ < now - kMaxAutoLagSeconds) nextAuto_ = now;
        while (nextAuto_ <= now && framesQueued_ < kMaxBacklogFrames && AutoOutputOn()) {
            MakeAutoFrame(now);
            nextAuto_ += period;
        }
    }

    void MakeAutoFrame(double now) {
        Enqueue(sensor_.MakeMeasurementFrame(now), sensor_.Baud(), sensor_.Parity());
        ++autoMade_;
    }

    void ReadRequests(double now) {
        uint8_t buf[4096];
        for (;;) {
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) {
                // Replies go out at the line the request came in on, before any
                // setting it carried takes hold.
                const uint32_t baud = sensor_.Baud();
                const char parity = sensor_.Parity();
                // The terminal hands over at once what the line would still be
                // carrying: a reply waits for the last byte, and garbage too
                // holds the line while it lasts.
                const double heard = pacer_ ? pacer_->Heard(static_cast<size_t>(n), now) : 0;
                if (!ClientHears(baud, parity)) continue;  // garbage to the sensor
                if (hushed_) continue;
                requestSeen_ = true;
                const double notBefore =
                    pacer_ ? heard + static_cast<double>(args_.turnaroundUs) * 1e-6 : 0;
                for (const auto& frame : bus_.Feed(buf, static_cast<size_t>(n), now))
                    Enqueue(frame, baud, parity, notBefore);
                if (static_cast<size_t>(n) < sizeof buf) return;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (listenFd_ >= 0) {  // the client closed or reset the connection
                DropClient();
                return;
            }
            // EIO (no slave side) or end of file: look again later instead of spinning.
            readRetryAt_ = now + kReadRetrySeconds;
            return;
        }
    }

    void Step() {
        double now = Clock();
        AutoOutput(now);
        Flush(now);

        pollfd fds[3] = {{signalFd_, POLLIN, 0}, {master_, 0, 0}, {listenFd_, 0, 0}};
        double wakeAt = std::numeric_limits<double>::infinity();
        if (master_ >= 0) {
            if (now >= readRetryAt_) {
                fds[1].events |= POLLIN;
            } else {
                wakeAt = std::min(wakeAt, readRetryAt_);
            }
            if (!queue_.empty()) {
                if (frontDue_ <= now) {
                    fds[1].events |= POLLOUT;
                } else {
                    wakeAt = std::min(wakeAt, frontDue_);
                }
            }
            if (AutoOutputOn() && framesQueued_ < kMaxBacklogFrames) {
                // At the unlimited rate an empty queue means the terminal took
                // everything: only look for requests and signals, then go on.
                const bool unlimited = std::isinf(sensor_.OutputHz());
                if (!unlimited || queue_.empty())
                    wakeAt =
                        std::min(wakeAt, unlimited ? std::max(now, lineRecheckAt_) : nextAuto_);
            }
        }
        if (listenFd_ >= 0 && master_ < 0) fds[2].events = POLLIN;
        // Only what asks for something: a hung-up master reports POLLHUP whatever
        // is asked, which must not turn the back-off into a spin.
        pollfd used[3] = {fds[0]};
        nfds_t count = 1;
        int masterAt = -1;
        int listenAt = -1;
        if (fds[1].events != 0) {
            masterAt = static_cast<int>(count);
            used[count++] = fds[1];
        }
        if (fds[2].events != 0) {
            listenAt = static_cast<int>(count);
            used[count++] = fds[2];
        }
        // To the microsecond: at line speed a byte takes tens of microseconds, and
        // a wait rounded up to whole milliseconds would slow the line itself.
        timespec wait{};
        timespec* waitFor = nullptr;
        if (std::isfinite(wakeAt)) {
            const double left = std::max(0.0, wakeAt - now);
            wait.tv_sec = static_cast<time_t>(left);
            wait.tv_nsec = static_cast<long>((left - static_cast<double>(wait.tv_sec)) * 1e9);
            waitFor = &wait;
        }
        const int ready = ppoll(used, count, waitFor, nullptr);
        if (ready < 0) {
            if (errno != EINTR) {
                perror("tiltsim: poll");
                quit_ = true;
            }
            return;
        }
        now = Clock();
        if (used[0].revents & POLLIN) OnSignals();
        if (quit_) return;
        if (listenAt >= 0 && listenFd_ >= 0 && (used[listenAt].revents & POLLIN)) Accept();
        if (masterAt < 0 || master_ < 0) return;
        const short got = used[masterAt].revents;
        if (got & POLLIN) {
            ReadRequests(now);
        } else if (got & (POLLHUP | POLLERR)) {
            if (listenFd_ >= 0) {
                DropClient();
            } else {
                readRetryAt_ = now + kReadRetrySeconds;
            }
        }
    }

    const Args& args_;
    SensorBus bus_;
    SensorSimulator& sensor_;  // the first address's: automatic output, line settings
    std::optional<LinePacer> pacer_;
    int listenFd_ = -1;
    int master_ = -1;
    int slave_ = -1;
    int signalFd_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    bool quit_ = false;
    // SIGUSR2: a sensor that has stopped talking for a while, line and all still there.
    bool hushed_ = false;
    double start_ = 0;

    std::deque<Piece> queue_;
    double frontDue_ = 0;
    size_t framesQueued_ = 0;
    uint64_t framesSent_ = 0;

    double autoHz_ = 0;
    double nextAuto_ = 0;
    uint64_t autoMade_ = 0;
    bool requestSeen_ = false;
    double readRetryAt_ = 0;
    double lineRecheckAt_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Args args;
    // Started by the package's launcher, --link registers in the user's own tree.
    args.portsDir = ProgramTree::FromEnvironment().PortsDir();
    if (!ParseArgs(argc, argv, args)) return 2;
    Simulator simulator(args);
    return simulator.Run();
}
