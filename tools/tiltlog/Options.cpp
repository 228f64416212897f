#include "Options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "AddressList.h"
#include "Decimal.h"
#include "FilePrefix.h"
#include "IniFile.h"
#include "PortNames.h"
#include "Settings.h"
#include "TcpAddress.h"

namespace {

enum class Opt {
    Port,
    Baud,
    Parity,
    Protocol,
    Address,
    IntervalMs,
    ReplyTimeoutMs,
    InFlight,
    Registers,
    Ratio,
    XRange,
    YRange,
    Output,
    Prefix,
    Duration,
    Count,
    Config,
    Reconnect,
    Mqtt,
    MqttCa,
    MqttPasswordFile,
    MqttClientId,
    MqttQueue,
    Export,
    NewAddress,
    NewBaud,
    NewParity,
    OutputRate,
    Zero,
    ClearZero,
    Save,
    Help,
};

// Logging and `tiltlog set` share the line's options; the rest are one's alone,
// and a beginning of a name is matched only among the options of the command.
enum class Use { Both, Log, Set };

struct OptionSpec {
    const char* name;
    Opt id;
    bool takesValue;
    Use use = Use::Log;
};

const OptionSpec kOptions[] = {
    {"port", Opt::Port, true, Use::Both},
    {"baud", Opt::Baud, true, Use::Both},
    {"parity", Opt::Parity, true, Use::Both},
    {"protocol", Opt::Protocol, true, Use::Both},
    {"address", Opt::Address, true, Use::Both},
    {"interval-ms", Opt::IntervalMs, true},
    {"reply-timeout-ms", Opt::ReplyTimeoutMs, true},
    {"in-flight", Opt::InFlight, true},
    {"registers", Opt::Registers, true},
    {"ratio", Opt::Ratio, true},
    {"xrange", Opt::XRange, true},
    {"yrange", Opt::YRange, true},
    {"output", Opt::Output, true},
    {"prefix", Opt::Prefix, true},
    {"duration", Opt::Duration, true},
    {"count", Opt::Count, true},
    {"config", Opt::Config, true, Use::Both},
    {"reconnect", Opt::Reconnect, false},
    {"mqtt", Opt::Mqtt, true},
    {"mqtt-ca", Opt::MqttCa, true},
    {"mqtt-password-file", Opt::MqttPasswordFile, true},
    {"mqtt-client-id", Opt::MqttClientId, true},
    {"mqtt-queue", Opt::MqttQueue, true},
    {"export", Opt::Export, true},
    {"new-address", Opt::NewAddress, true, Use::Set},
    {"new-baud", Opt::NewBaud, true, Use::Set},
    {"new-parity", Opt::NewParity, true, Use::Set},
    {"output-rate", Opt::OutputRate, true, Use::Set},
    {"zero", Opt::Zero, false, Use::Set},
    {"clear-zero", Opt::ClearZero, false, Use::Set},
    {"save", Opt::Save, false, Use::Set},
    {"help", Opt::Help, false, Use::Both},
};

constexpr int kMaxIntervalMs = 24 * 60 * 60 * 1000;
constexpr int kMaxReplyTimeoutMs = 60 * 1000;
// Gateways keep a few requests each; more would only wait in their queue.
constexpr int kMaxInFlight = 16;
// At least a few rows; at most what a small box can spare.
constexpr uint64_t kMinMqttQueue = 4 * 1024;
constexpr uint64_t kMaxMqttQueue = 1024ull * 1024 * 1024;
// What MQTT lets a client id be.
constexpr size_t kMaxClientIdBytes = 65535;
constexpr double kMaxDurationSeconds = 100.0 * 365 * 24 * 60 * 60;
const char* const kParities = "NOE";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "12", "0.5", ".5", "5.": what a person types for a count of seconds or a resolution.
bool IsPlainDecimal(const std::string& text) {
    size_t digits = 0;
    size_t points = 0;
    for (char c : text) {
        if (IsDigit(c)) {
            ++digits;
        } else if (c == '.') {
            ++points;
        } else {
            return false;
        }
    }
    return digits > 0 && points <= 1;
}

// A range text: a number first, a unit such as "deg" may follow ("90deg").
bool StartsWithNumber(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i < text.size() && text[i] == '.') ++i;
    return i < text.size() && IsDigit(text[i]);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string BaudList() {
    std::string list;
    for (uint32_t b : kSupportedBauds) list += (list.empty() ? "" : ", ") + std::to_string(b);
    return list;
}

// Where the flags' errors and the file's errors differ: only in how they name
// the source of the bad value.
struct Problem {
    std::string* message;
    std::string source;  // "--baud" or "--config FILE: BAUD"

    bool Fail(const std::string& value, const std::string& why) const {
        *message = source + ": '" + value + "' " + why;
        return false;
    }
};

bool SetPort(const std::string& v, const Problem& p, LoggerOptions& o) {
    if (v.size() > 3 && (v.compare(0, 3, "COM") == 0 || v.compare(0, 3, "com") == 0)) {
        uint64_t n = 0;
        if (!ParseDecimal(v.substr(3), kMaxSerialPortNum - 1, n) || n < 1)
            return p.Fail(v, "is not a port: COM1 to COM199, or a device path");
        o.port = "COM" + v.substr(3);
        o.portNumber = static_cast<int>(n);
        o.devicePath.clear();
        return true;
    }
    if (v.find('/') == std::string::npos)
        return p.Fail(v, "is not a port: COM1 to COM199, or a device path");
    // Written as a network address: refused with its fault, never opened as a file.
    TcpAddress address;
    std::string why;
    if (TcpAddress::LooksLikeAddress(v) && !TcpAddress::Parse(v, address, &why)) {
        *p.message = p.source + ": '" + v + "': " + why;
        return false;
    }
    o.port = v;
    o.devicePath = v;
    // Keep the table's number where the path is a table device, so messages
    // and traces name the port as the window would.
    o.portNumber = kMaxSerialPortNum - 1;
    for (int n = 1; n < kMaxSerialPortNum; ++n) {
        if (PortMap::DefaultDevicePath(n) == v) {
            o.portNumber = n;
            break;
        }
    }
    return true;
}

bool ReadBaud(const std::string& v, const Problem& p, uint32_t& baud) {
    uint64_t b = 0;
    if (ParseDecimal(v, UINT32_MAX, b)) {
        for (uint32_t supported : kSupportedBauds) {
            if (b == supported) {
                baud = supported;
                return true;
            }
        }
    }
    return p.Fail(v, "is not one of " + BaudList());
}

bool ReadParity(const std::string& v, const Problem& p, char& parity) {
    if (v.size() == 1) {
        const char c = v[0] >= 'a' && v[0] <= 'z' ? static_cast<char>(v[0] - 'a' + 'A') : v[0];
        if (std::strchr(kParities, c) && c != '\0') {
            parity = c;
            return true;
        }
    }
    return p.Fail(v, "is not N, O or E");
}

bool SetProtocol(const std::string& v, const Problem& p, LoggerOptions& o) {
    const std::string l = Lower(v);
    if (l == "tarq") {
        o.protocol = kProtocolTarq;
    } else if (l == "modbus") {
        o.protocol = kProtocolModbus;
    } else {
        return p.Fail(v, "is not tarq or modbus");
    }
    return true;
}

bool SetAddress(const std::string& v, const Problem& p, LoggerOptions& o) {
    uint64_t a = 0;
    if (!ParseDecimal(v, 255, a)) return p.Fail(v, "is not an address 0 to 255");
    o.address = static_cast<uint8_t>(a);
    o.addresses = {o.address};
    return true;
}

// One address, or a bus: "1,2,3", "1-10,12".
bool SetAddresses(const std::string& v, const Problem& p, LoggerOptions& o) {
    // Not a list: the single address's own message.
    if (!LooksLikeAddressList(v)) return SetAddress(v, p, o);
    std::vector<uint8_t> list;
    std::string error;
    if (!ParseAddressList(v, list, error)) {
        *p.message = p.source + ": " + error;
        return false;
    }
    o.addresses = list;
    o.address = list.front();
    return true;
}

bool SetRegisters(const std::string& v, const Problem& p, LoggerOptions& o) {
    if (v != "4" && v != "5") return p.Fail(v, "is not 4 or 5");
    o.registers = static_cast<uint8_t>(v[0] - '0');
    return true;
}

bool SetRatio(const std::string& v, const Problem& p, LoggerOptions& o) {
    if (!IsPlainDecimal(v) || !(LeadingNumber(v) > 0.0))
        return p.Fail(v, "is not a resolution such as 0.01, 0.001 or 0.0001");
    o.ratioText = v;
    return true;
}

bool SetRange(const std::string& v, const Problem& p, std::string& text) {
    if (!StartsWithNumber(v)) return p.Fail(v, "is not a range such as 90 or 90deg");
    text = v;
    return true;
}

bool SetPrefix(const std::string& v, const Problem& p, LoggerOptions& o) {
    if (!FilePrefixAllowed(v))
        return p.Fail(v, "cannot begin a file name (no /, .., control characters; at most " +
                             std::to_string(kMaxFilePrefixBytes) + " bytes)");
    o.prefix = v;
    return true;
}

// The keys the window stores; list positions for BAUD and PARITY, as its lists have.
bool ApplyConfig(const std::string& path, LoggerOptions& o, std::string& message) {
    // Looked at before it is opened: opening a FIFO would wait for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        message = "--config: cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        message = "--config: '" + path + "' is not a file";
        return false;
    }
    std::ifstream probe(path);
    if (!probe) {
        message = "--config: cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    const CIniFile ini(path);
    const auto problem = [&](const char* key) {
        return Problem{&message, "--config " + path + ": " + key};
    };
    uint64_t n = 0;
    std::string v;

    if (!(v = ini.ReadString("PROTOCOL")).empty()) {
        if (!ParseDecimal(v, 1, n)) return problem("PROTOCOL").Fail(v, "is not 0 or 1");
        o.protocol = n == 1 ? kProtocolModbus : kProtocolTarq;
    }
    if (!(v = ini.ReadString("ADDR")).empty() && !SetAddress(v, problem("ADDR"), o)) return false;
    if (!(v = ini.ReadString("Ratio")).empty() && !SetRatio(v, problem("Ratio"), o)) return false;
    if (!(v = ini.ReadString("REGISTERS")).empty() && !SetRegisters(v, problem("REGISTERS"), o))
        return false;
    if (!(v = ini.ReadString("xRange")).empty() && !SetRange(v, problem("xRange"), o.xRangeText))
        return false;
    if (!(v = ini.ReadString("yRange")).empty() && !SetRange(v, problem("yRange"), o.yRangeText))
        return false;
    if (!(v = ini.ReadString("COM")).empty()) {
        if (!ParseDecimal(v, kMaxSerialPortNum - 1, n) || n < 1)
            return problem("COM").Fail(v, "is not a port number 1 to 199");
        o.port = "COM" + std::to_string(n);
        o.portNumber = static_cast<int>(n);
        o.devicePath.clear();
    }
    if (!(v = ini.ReadString("BAUD")).empty()) {
        constexpr size_t kBauds = sizeof kSupportedBauds / sizeof kSupportedBauds[0];
        if (!ParseDecimal(v, kBauds - 1, n))
            return problem("BAUD").Fail(v, "is not a list position 0 to 6");
        o.baud = kSupportedBauds[n];
    }
    if (!(v = ini.ReadString("PARITY")).empty()) {
        if (!ParseDecimal(v, 2, n)) return problem("PARITY").Fail(v, "is not 0, 1 or 2");
        o.parity = kParities[n];
    }
    if (!(v = ini.ReadString("PATH")).empty()) o.output = v;
    if (!(v = ini.ReadString("MODEL")).empty() && !SetPrefix(v, problem("MODEL"), o)) return false;

    // COM numbers lead through the ports folder beside the file, as they do for
    // a window started from the bin folder next to it.
    const size_t slash = path.find_last_of('/');
    o.portsDir = (slash == std::string::npos ? "." : path.substr(0, slash)) + "/ports";
    return true;
}

// The password from --mqtt-password-file or the environment, where ps does not
// show it. Given in two places it is refused: which one the broker gets would be a guess.
bool TakePassword(LoggerOptions& o, const char* variable, std::string& message) {
    const bool fromFile = !o.mqttPasswordFile.empty();
    const char* const option = "--mqtt-password-file";
    if (!fromFile && !variable) return true;
    const std::string source = fromFile ? option : kMqttPasswordVariable;
    if (o.mqtt.hasPassword || (fromFile && variable)) {
        message = source + ": the password is given " +
                  (o.mqtt.hasPassword ? "in the --mqtt URL" : std::string(kMqttPasswordVariable)) +
                  " too; give it in one place";
        return false;
    }
    if (!o.mqtt.hasUser) {
        message = source + ": " + o.mqtt.Describe() +
                  " names no user name, and a password goes with one: mqtt://USER@HOST/PREFIX";
        return false;
    }
    std::string password;
    if (fromFile) {
        const std::string& path = o.mqttPasswordFile;
        // Looked at before it is opened: a FIFO would wait for a writer.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            message =
                std::string(option) + ": '" + path + "' cannot be read: " + std::strerror(errno);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            message = std::string(option) + ": '" + path + "' is not a file";
            return false;
        }
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            message =
                std::string(option) + ": '" + path + "' cannot be read: " + std::strerror(errno);
            return false;
        }
        std::getline(file, password);
        if (!password.empty() && password.back() == '\r') password.pop_back();
    } else {
        password = variable;
    }
    if (password.find('\0') != std::string::npos) {
        message = source + ": the password holds a NUL, which the broker cannot be sent";
        return false;
    }
    if (password.empty()) {
        message =
            source + (fromFile ? ": '" + o.mqttPasswordFile + "'" : std::string()) + " is empty";
        return false;
    }
    o.mqtt.hasPassword = true;
    o.mqtt.password = password;
    return true;
}

bool ApplyFlag(const OptionSpec& spec, const std::string& v, LoggerOptions& o,
               std::string& message) {
    const Problem p{&message, std::string("--") + spec.name};
    uint64_t n = 0;
    switch (spec.id) {
        case Opt::Port:
            return SetPort(v, p, o);
        case Opt::Baud:
            return ReadBaud(v, p, o.baud);
        case Opt::Parity:
            return ReadParity(v, p, o.parity);
        case Opt::Protocol:
            return SetProtocol(v, p, o);
        case Opt::Address:
            return SetAddresses(v, p, o);
        case Opt::ReplyTimeoutMs:
            if (!ParseDecimal(v, kMaxReplyTimeoutMs, n) || n == 0)
                return p.Fail(v, "is not a number of milliseconds 1 to 60000");
            o.replyTimeoutMs = static_cast<int>(n);
            return true;
        case Opt::InFlight:
            if (!ParseDecimal(v, kMaxInFlight, n) || n == 0)
                return p.Fail(v,
                              "is not a number of requests 1 to " + std::to_string(kMaxInFlight));
            o.inFlight = static_cast<int>(n);
            return true;
        case Opt::IntervalMs:
            if (!ParseDecimal(v, kMaxIntervalMs, n))
                return p.Fail(v, "is not a number of milliseconds 0 to 86400000");
            o.intervalMs = static_cast<int>(n);
            return true;
        case Opt::Registers:
            return SetRegisters(v, p, o);
        case Opt::Ratio:
            return SetRatio(v, p, o);
        case Opt::XRange:
            return SetRange(v, p, o.xRangeText);
        case Opt::YRange:
            return SetRange(v, p, o.yRangeText);
        case Opt::Output:
            if (v.empty()) return p.Fail(v, "is not a folder or -");
            o.output = v;
            return true;
        case Opt::Prefix:
            return SetPrefix(v, p, o);
        case Opt::Duration: {
            const double s = IsPlainDecimal(v) ? LeadingNumber(v) : 0.0;
            if (!(s > 0.0) || s > kMaxDurationSeconds)
                return p.Fail(v, "is not a number of seconds above 0");
            o.durationSeconds = s;
            return true;
        }
        case Opt::Count:
            if (!ParseDecimal(v, UINT64_MAX, n) || n == 0)
                return p.Fail(v, "is not a number of rows above 0");
            o.count = n;
            return true;
        case Opt::Reconnect:
            o.reconnect = true;
            return true;
        case Opt::Mqtt:
            o.mqttUrl = v;
            return ParseMqttUrl(v, o.mqtt, message);
        case Opt::MqttCa: {
            // Checked now: a certificate that cannot be read would only show as
            // a broker that is never reached. Looked at before it is opened, as
            // --config is: opening a FIFO would wait for a writer.
            struct stat st {};
            if (v.empty() || ::stat(v.c_str(), &st) != 0)
                return p.Fail(
                    v, std::string("cannot be read: ") + std::strerror(v.empty() ? ENOENT : errno));
            if (!S_ISREG(st.st_mode)) return p.Fail(v, "is not a file");
            std::ifstream file(v);
            if (!file) return p.Fail(v, std::string("cannot be read: ") + std::strerror(errno));
            o.mqttCa = v;
            return true;
        }
        case Opt::MqttPasswordFile:
            o.mqttPasswordFile = v;  // read once the URL is known
            return true;
        case Opt::MqttClientId:
            if (v.empty() || v.size() > kMaxClientIdBytes)
                return p.Fail(v.substr(0, 40), "is not a client id of 1 to 65535 bytes");
            // Not echoed: its bytes are what the terminal could not show.
            if (!IsMqttText(v)) {
                message = p.source + ": the client id is not UTF-8 text without control characters";
                return false;
            }
            o.mqttClientId = v;
            return true;
        case Opt::MqttQueue: {
            // A size: bytes, or k, M, G (binary) after the number.
            const size_t digits = v.find_first_not_of("0123456789");
            const std::string unit = digits == std::string::npos ? "" : v.substr(digits);
            const uint64_t scale = unit.empty()                 ? 1
                                   : unit == "k" || unit == "K" ? 1024
                                   : unit == "M"                ? 1024 * 1024
                                   : unit == "G"                ? 1024 * 1024 * 1024
                                                                : 0;
            if (scale == 0 || !ParseDecimal(v.substr(0, digits), kMaxMqttQueue, n) ||
                n * scale < kMinMqttQueue || n * scale > kMaxMqttQueue)
                return p.Fail(v, "is not a size of memory from 4k to 1G (bytes, or k, M, G)");
            o.mqttQueue = static_cast<size_t>(n * scale);
            return true;
        }
        case Opt::NewAddress:
            if (!ParseDecimal(v, 254, n) || n == 0) return p.Fail(v, "is not an address 1 to 254");
            o.changes.newAddress = static_cast<int>(n);
            return true;
        case Opt::NewBaud:
            return ReadBaud(v, p, o.changes.newBaud);
        case Opt::NewParity:
            return ReadParity(v, p, o.changes.newParity);
        case Opt::OutputRate:
            // Bit 7 of the value carries a rate that is not on the protocol's list.
            if (!ParseDecimal(v, 127, n)) return p.Fail(v, "is not a rate 0 to 127 Hz");
            o.changes.outputRateHz = static_cast<int>(n);
            return true;
        case Opt::Zero:
        case Opt::ClearZero: {
            const auto zero =
                spec.id == Opt::Zero ? SensorChanges::Zero::Set : SensorChanges::Zero::Clear;
            if (o.changes.zero != SensorChanges::Zero::Keep && o.changes.zero != zero) {
                message = "--zero and --clear-zero: choose one";
                return false;
            }
            o.changes.zero = zero;
            return true;
        }
        case Opt::Save:
            o.changes.save = true;
            return true;
        case Opt::Config:
        case Opt::Export:
        case Opt::Help:
            return true;
    }
    return true;
}

// What the sensor named cannot be asked, in the protocol it speaks; "" when it can.
std::string SetFault(const LoggerOptions& o, bool addressGiven) {
    const bool modbus = o.protocol == kProtocolModbus;
    const SensorChanges& c = o.changes;
    if (!c.Any())
        return "set: nothing to change: give --new-address, --new-baud, --new-parity, "
               "--output-rate, --zero, --clear-zero or --save";
    if (o.Bus()) return "--address: tiltlog set changes one sensor at a time; give one address";
    // A change to the wrong sensor is not undone by the next command.
    if (!addressGiven) return "--address: tiltlog set needs the address of the sensor to change";
    if (o.address == (modbus ? 0 : 0xFF))
        return "--address: " + std::to_string(o.address) + " is the " +
               (modbus ? "Modbus" : "frame protocol's") +
               " broadcast address: every sensor on the line would take the change and none "
               "would confirm it; give the sensor's own address";
    if (modbus && (c.newBaud == 2400 || c.newBaud == 230400))
        return "--new-baud: Modbus sensors have no code for " + std::to_string(c.newBaud) +
               "; 4800 to 115200";
    if (!modbus && c.newParity != 0)
        return "--new-parity: the frame protocol sets no parity; only Modbus sensors take one";
    if (modbus && c.save)
        return "--save: Modbus has no save command; only the frame protocol saves";
    return {};
}

}  // namespace

LineSettings LoggerOptions::Line() const {
    LineSettings line;
    line.portnr = static_cast<uint32_t>(portNumber);
    line.baud = baud;
    line.parity = parity;
    return line;
}

PortMap LoggerOptions::Ports() const {
    PortMap ports(portsDir);
    if (!devicePath.empty()) ports.PinDevicePath(portNumber, devicePath);
    return ports;
}

DecodeParameters LoggerOptions::Decode() const {
    DecodeParameters d;
    d.ResolutionFactor = ResolutionFromText(ratioText);
    d.XRangeOffset = static_cast<float>(LeadingNumber(xRangeText));
    d.YRangeOffset = static_cast<float>(LeadingNumber(yRangeText));
    return d;
}

std::string LoggerOptions::ValueFormat() const {
    return SelectValueFormat(ratioText, "%.2f");
}

ParseOutcome ParseOptions(const std::vector<std::string>& args, const std::string& defaultOutput,
                          LoggerOptions& out, const std::string& defaultPortsDir,
                          const char* passwordVariable) {
    ParseOutcome outcome;
    const auto fail = [&outcome](std::string message) {
        outcome.action = ParseOutcome::Action::Fail;
        outcome.message = std::move(message);
        return outcome;
    };

    // First collect, so that the file can be read before the flags override it.
    std::vector<std::pair<const OptionSpec*, std::string>> flags;
    std::string configPath;
    bool configGiven = false;
    // File names: only --export takes them.
    std::vector<std::string> files;
    bool exportGiven = false;
    std::string exportPath;
    // A subcommand is the first word, as git's are.
    const bool setting = !args.empty() && args.front() == "set";
    const Use other = setting ? Use::Log : Use::Set;
    for (size_t i = setting ? 1 : 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h") {
            outcome.action = ParseOutcome::Action::Help;
            return outcome;
        }
        if (arg == "--") {
            files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
            break;
        }
        if (arg.size() > 1 && arg[0] == '-' && (arg.size() < 3 || arg[1] != '-'))
            return fail("unknown option '" + arg + "'");
        if (arg.compare(0, 2, "--") != 0) {
            files.push_back(arg);
            continue;
        }

        const size_t eq = arg.find('=');
        const std::string name =
            arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        // GNU style: an unambiguous beginning of a name will do; an exact name always wins.
        const OptionSpec* match = nullptr;
        int matches = 0;
        for (const OptionSpec& s : kOptions) {
            if (s.use == other) {
                if (name == s.name)
                    return fail(setting ? "tiltlog set takes no --" + name
                                        : "--" + name + " is an option of tiltlog set");
                continue;
            }
            if (name == s.name) {
                match = &s;
                matches = 1;
                break;
            }
            if (!name.empty() && std::strncmp(s.name, name.c_str(), name.size()) == 0) {
                match = &s;
                ++matches;
            }
        }
        if (matches == 0) return fail("unknown option '--" + name + "'");
        if (matches > 1) return fail("option '--" + name + "' is ambiguous");

        std::string value;
        if (match->takesValue) {
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return fail(std::string("--") + match->name + " needs a value");
            }
        } else if (eq != std::string::npos) {
            return fail(std::string("--") + match->name + " takes no value");
        }

        if (match->id == Opt::Help) {
            outcome.action = ParseOutcome::Action::Help;
            return outcome;
        }
        if (match->id == Opt::Export) {
            if (value.empty()) return fail("--export needs a file to write");
            exportGiven = true;
            exportPath = value;
            continue;
        }
        if (match->id == Opt::Config) {
            if (value.empty()) return fail("--config needs a file");
            configPath = value;
            configGiven = true;
            continue;
        }
        flags.emplace_back(match, value);
    }

    if (exportGiven) {
        if (setting) return fail("tiltlog set takes no --export");
        if (configGiven || !flags.empty())
            return fail("--export reads recordings only and takes no other option");
        if (files.empty()) return fail("--export needs the recordings to read: FILE...");
        out = LoggerOptions();
        out.exportPath = exportPath;
        out.exportFiles = files;
        outcome.action = ParseOutcome::Action::Export;
        return outcome;
    }
    if (!files.empty()) return fail("unexpected argument '" + files.front() + "'");

    LoggerOptions o;
    o.portsDir = defaultPortsDir;
    std::string message;
    if (configGiven) {
        o.configPath = configPath;
        if (!ApplyConfig(configPath, o, message)) return fail(message);
    }
    for (const auto& [spec, value] : flags) {
        if (!ApplyFlag(*spec, value, o, message)) return fail(message);
    }
    // What the port leads to: the address given, or the one its ports file holds.
    const std::string serverText =
        o.devicePath.empty()
            ? PortMap(o.portsDir).ServerAddress(o.portNumber, PosixPortFileSystem())
            : o.port;
    const std::string portText =
        serverText.empty() || serverText == o.port ? o.port : o.port + " (" + serverText + ")";
    TcpAddress server;
    const bool network = TcpAddress::Parse(serverText, server);
    // A raw or Modbus TCP converter keeps its own line settings: asked for
    // here, they would not hold, and the sensor would look silent.
    for (const auto& flag : flags) {
        const Opt id = flag.first->id;
        if ((id == Opt::Baud || id == Opt::Parity) && network &&
            server.scheme != LinkScheme::Rfc2217)
            return fail(std::string("--") + flag.first->name + ": " + portText +
                        " is a converter that keeps its own baud rate and parity; set its port "
                        "to the sensor's in the converter, or use rfc2217:// where it offers it");
        // The machinery refuses it too, but only once the earlier changes are made.
        if ((id == Opt::NewBaud || id == Opt::NewParity) && network &&
            server.scheme != LinkScheme::Rfc2217)
            return fail(std::string("--") + flag.first->name + ": " + portText +
                        " is a converter that keeps its own baud rate and parity: the sensor "
                        "would be lost to it; change the converter's port in its own settings "
                        "as well, or use rfc2217:// where it offers it");
    }
    if (o.inFlight > 1 && !(network && server.scheme == LinkScheme::ModbusTcp))
        return fail("--in-flight: " + portText +
                    " carries one request at a time; only a Modbus TCP gateway "
                    "(modbus-tcp://) tells replies apart by request");
    if (setting) {
        bool addressGiven = configGiven && !CIniFile(configPath).ReadString("ADDR").empty();
        for (const auto& flag : flags)
            addressGiven = addressGiven || flag.first->id == Opt::Address;
        const std::string fault = SetFault(o, addressGiven);
        if (!fault.empty()) return fail(fault);
        outcome.action = ParseOutcome::Action::Set;
    }
    // Modbus has no address 0 (it is the broadcast address); the window takes 1 as well.
    if (!o.Bus() && o.protocol == kProtocolModbus && o.address == 0) o.address = 1;
    if (!o.Bus()) o.addresses = {o.address};
    if (o.Bus()) {
        const std::string fault = BusAddressFault(o.addresses, o.protocol);
        if (!fault.empty()) return fail("--address: " + fault);
        if (o.intervalMs == 0)
            return fail("--interval-ms: 0 only listens, and a bus answers only when asked");
    } else if (o.replyTimeoutMs != 0) {
        return fail("--reply-timeout-ms: only a bus (several --address) waits for replies");
    } else if (o.inFlight > 1) {
        return fail("--in-flight: only a bus (several --address) has requests to send ahead");
    }
    if (!o.Mqtt()) {
        for (const auto& [spec, value] : flags) {
            if (spec->id == Opt::MqttCa || spec->id == Opt::MqttClientId ||
                spec->id == Opt::MqttQueue || spec->id == Opt::MqttPasswordFile)
                return fail(std::string("--") + spec->name + ": only --mqtt publishes");
        }
        if (o.NoFiles()) return fail("--output none records nothing without --mqtt");
    } else if (!o.mqttCa.empty() && !o.mqtt.tls) {
        return fail("--mqtt-ca: the certificate is for mqtts://, and " + o.mqtt.Describe() +
                    " is plain MQTT");
    } else {
        std::string refusal;
        if (!TakePassword(o, passwordVariable, refusal)) return fail(refusal);
    }
    std::string malformed;
    if (o.devicePath.empty() &&
        PortMap(o.portsDir).MalformedAddress(o.portNumber, PosixPortFileSystem(), malformed))
        return fail(o.port + ": " + malformed);
    if (o.output.empty()) o.output = defaultOutput;
    out = o;
    return outcome;
}

std::string HelpText(const std::string& defaultOutput, const std::string& defaultPortsDir) {
    const std::string ports = !defaultPortsDir.empty() && defaultPortsDir.front() == '/'
                                  ? defaultPortsDir
                                  : defaultPortsDir + " from the working folder";
    return "Usage: tiltlog [OPTION]...\n"
           "  or:  tiltlog --export OUT.csv FILE...\n"
           "  or:  tiltlog set --address N [OPTION]... CHANGE...\n"
           "Logs one tilt sensor to CSV files, without a window: the same rows, names and\n"
           "decoding as Tiltscope's recorder.\n"
           "\n"
           "  --port COM<n>|PATH     serial port: COM1..COM199 (see ports below), a device\n"
           "                         path such as /dev/ttyUSB0, or a serial device server\n"
           "                         tcp://HOST:PORT (default COM1)\n"
           "  --baud RATE            2400, 4800, 9600, 19200, 38400, 115200 or 230400\n"
           "                         (default 9600)\n"
           "  --parity N|O|E         none, odd or even parity (default N). Over rfc2217://\n"
           "                         the server sets its port to both; a tcp:// or\n"
           "                         modbus-tcp:// converter keeps its own, so they are\n"
           "                         refused there\n"
           "  --protocol tarq|modbus the sensor's frame protocol or Modbus RTU (default tarq)\n"
           "  --address N|LIST       device address 0..255 (default 0; Modbus takes 1 for 0),\n"
           "                         or a bus of sensors on one line: 1,2,3 or 1-10,12\n"
           "  --interval-ms MS       poll every MS milliseconds; 0 = only listen to a sensor\n"
           "                         that sends by itself (default 200). On a bus each\n"
           "                         sensor is asked once per MS, one request at a time\n"
           "  --reply-timeout-ms MS  on a bus, give up on a reply after MS (default: twice\n"
           "                         the request's and longest reply's time on the line,\n"
           "                         50 ms, and the network's round trip as measured)\n"
           "  --in-flight N          on a bus behind a Modbus TCP gateway, keep up to N\n"
           "                         requests (1 to 16) on their way at once, for a gateway\n"
           "                         that queues them (default 1: one at a time)\n"
           "  --registers 4|5        Modbus: read 4 registers from register 2 (X, Y), or 5\n"
           "                         to have a standard device's temperature too (default 4)\n"
           "  --ratio TEXT           resolution, as in the parameter list: 0.01, 0.001 or\n"
           "                         0.0001; sets the scale and the decimals (default 0.01)\n"
           "  --xrange TEXT          X range offset taken from Modbus angles (default 90deg)\n"
           "  --yrange TEXT          Y range offset taken from Modbus angles (default 90deg)\n"
           "  --output DIR|-|none    folder for a new time-stamped file, - for standard\n"
           "                         output, or none with --mqtt (default PATH of --config,\n"
           "                         else " +
           defaultOutput +
           ")\n"
           "  --prefix TEXT          first part of the file names (default MODEL of --config,\n"
           "                         else Tiltscope)\n"
           "  --duration SECONDS     stop after this time (default: run until stopped)\n"
           "  --count N              stop after N rows (default: run until stopped)\n"
           "  --config PATH          take PROTOCOL, ADDR, Ratio, xRange, yRange, COM, BAUD,\n"
           "                         PARITY, PATH, MODEL and REGISTERS from this Config.ini;\n"
           "                         flags win\n"
           "                         (default: none)\n"
           "  --reconnect            when the port cannot be opened or is lost, try again\n"
           "                         every second instead of ending (default off)\n"
           "  --mqtt URL             publish every row too, at QoS 1, to an MQTT broker:\n"
           "                         mqtt://[USER[:PASSWORD]@]HOST[:PORT]/PREFIX, or\n"
           "                         mqtts:// for TLS (ports 1883 and 8883 by default)\n"
           "  --mqtt-ca FILE         the CA certificate that signed an mqtts broker's\n"
           "                         (default: the system's certificates)\n"
           "  --mqtt-password-file FILE  the broker's password, the file's first line,\n"
           "                         kept out of the command line (or in the environment\n"
           "                         variable TILTLOG_MQTT_PASSWORD); the URL names the user\n"
           "  --mqtt-client-id ID    the client id (default tiltlog-HOSTNAME-PORT)\n"
           "  --mqtt-queue SIZE      memory for rows the broker has not taken (bytes, or\n"
           "                         k, M, G; default 16M): with files the rest are read\n"
           "                         back from them, without files the oldest are dropped\n"
           "  --export OUT FILE...   log nothing: read the recordings FILE... (the window's\n"
           "                         or tiltlog's, bus files and continued files included)\n"
           "                         and write them to OUT as one tidy CSV (see below)\n"
           "  --help                 show this text\n"
           "\n"
           "tiltlog set changes one sensor's own settings, as Tiltscope's settings buttons\n"
           "do, and logs nothing. --port, --baud, --parity, --protocol, --config and\n"
           "--address (one sensor, always named) say where the sensor is now. CHANGE:\n"
           "  --zero                 make the present tilt the sensor's zero\n"
           "  --clear-zero           clear the sensor's zero\n"
           "  --output-rate HZ       frames a second the sensor sends by itself, 0 for none;\n"
           "                         a rate off the protocol's list (tarq 0, 5, 15, 25, 35,\n"
           "                         50; modbus 0, 5, 10, 15, 25, 50) goes as typed, to 127\n"
           "  --new-parity N|O|E     modbus only\n"
           "  --new-baud RATE        as --baud; modbus 4800 to 115200\n"
           "  --new-address N        1 to 254\n"
           "  --save                 tarq only: save the settings in the sensor\n"
           "Changes go out in this order, each repeated and confirmed as in the window, and\n"
           "the run ends at the first one the sensor does not confirm. Under modbus tiltlog\n"
           "follows the sensor to a new parity, baud rate or address (a standard device\n"
           "takes it right after its echo) and the next change goes there; under tarq the\n"
           "next change goes to a new address and the line stays as it was. Each confirmed\n"
           "change is one line on standard error; one not confirmed says why (no answer, no\n"
           "confirmation, refused by the sensor, the port) and which were confirmed before.\n"
           "Refused before anything is sent: a broadcast address (modbus 0, tarq 255), a\n"
           "bus, and a new baud rate or parity through a tcp:// or modbus-tcp:// converter.\n"
           "\n"
           "Rows look like \"1.25,-0.37,23.50,2024-3-5 9:7:3'45 \" and end with CR LF; files\n"
           "are named PREFIX_YYYYMMDDhhmmss.csv, begin with a header and continue in a new\n"
           "file past 40 MiB. Rows reach a file every 3 seconds, standard output within a\n"
           "quarter of a second.\n"
           "On a bus each address has its own file, PREFIX_A<addr>_YYYYMMDDhhmmss.csv; on\n"
           "standard output each row begins with the address and a comma. A sensor that\n"
           "leaves 3 requests in a row unanswered is said once, and again when it answers.\n"
           "--count then counts the rows of all sensors.\n"
           "With --mqtt each row goes to PREFIX/<address> as one JSON object:\n"
           "{\"address\": 0, \"x\": 1.25, \"y\": -0.37, \"temperature\": 23.50,\n"
           "\"time\": \"2024-03-05T09:07:03.045+01:00\"}, a value not sent as null. The\n"
           "retained PREFIX/<address>/status is online while tiltlog is connected, and\n"
           "offline after it ends (the first address's also when it is cut off). Rows taken\n"
           "while the broker is away are held, in order, and follow when it is back.\n"
           "COM<n> opens the link ports/COM<n> beside the --config file (without --config:\n"
           "the link COM<n> in " +
           ports +
           ")\n"
           "or else /dev/ttyS, ttyUSB, ttyACM or ttyAMA by the number, as Tiltscope does.\n"
           "A link whose target is gone is a missing port, never the table's device.\n"
           "A file ports/COM<n> holding tcp://HOST:PORT makes COM<n> that serial device\n"
           "server, reached over raw TCP.\n"
           "--export writes the header address,time,x_deg,y_deg,temperature_c and every row\n"
           "of all sensors in time order: \"1,2026-12-10T13:50:05.024+01:00,1.25,-0.37,23.50\"\n"
           "(the local time with milliseconds and offset, the values as recorded, empty\n"
           "where never sent, the address empty for a single sensor's file). Rows that are\n"
           "not whole are counted on standard error, never guessed. Local times are read in\n"
           "the zone of TZ; in the hour a clock change repeats, a file's stamps are the first\n"
           "pass until they step back by more than half the change.\n"
           "Once a second, when standard error is a terminal, a status line shows the frame\n"
           "rate, the miscount, the rows and the file (on a bus: each address's replies per\n"
           "second, requests without a good reply, and rows). SIGINT and SIGTERM write every row\n"
           "received and end the run.\n"
           "\n"
           "Exit status:\n"
           "  0  the count or duration was reached, or SIGINT, SIGTERM, SIGHUP, or the reader\n"
           "     of standard output went away\n"
           "  1  rows could not be written (standard output or disk failure)\n"
           "  1  --export: a recording could not be read (nothing is written) or OUT could\n"
           "     not be written\n"
           "  2  bad usage: an unknown option or a bad value\n"
           "  3  the port cannot be opened, or was lost, without --reconnect\n"
           "tiltlog set: 0 every change confirmed, 1 one was not, 2 bad usage or a change\n"
           "refused before it was sent, 3 the port cannot be opened or was lost.\n";
}
