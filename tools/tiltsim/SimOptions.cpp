#include "SimOptions.h"

#include <errno.h>
#include <getopt.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "AddressList.h"
#include "LineSettings.h"

namespace {

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

}  // namespace

bool ParseSimArgs(int argc, char** argv, SimArgs& args) {
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
                PrintSimHelp(stdout, defaultPortsDir);
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
    if (args.listening && !args.link.empty()) {
        fputs("tiltsim: --link needs a pseudo-terminal, not --listen (see --help)\n", stderr);
        return false;
    }
    if (args.listening && args.listenAt.scheme == LinkScheme::ModbusTcp &&
        args.sim.protocol != SimProtocol::Modbus) {
        fputs("tiltsim: --listen modbus-tcp:// needs --protocol modbus (see --help)\n", stderr);
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
