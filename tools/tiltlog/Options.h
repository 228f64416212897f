#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DeviceTypes.h"
#include "LineSettings.h"
#include "MqttTarget.h"
#include "PortNames.h"
#include "SensorChanges.h"

// Exit statuses, as --help lists them.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // standard output or the disk failed
constexpr int kExitUsage = 2;
constexpr int kExitPort = 3;  // the port cannot be opened, or was lost, without --reconnect

// What one run of tiltlog does. The defaults are the window's.
struct LoggerOptions {
    std::string port = "COM1";  // as given: COM<n> or a device path
    int portNumber = 1;         // what the channel calls the port
    std::string devicePath;     // a path given instead of COM<n>; empty otherwise
    std::string portsDir = "../config/ports";
    uint32_t baud = 9600;
    char parity = 'N';
    int protocol = kProtocolTarq;
    uint8_t address = 0;  // the first of `addresses`
    // Several: a bus, polled in turn, one file per address.
    std::vector<uint8_t> addresses{0};
    int replyTimeoutMs = 0;  // on a bus; 0: derived from the line
    int inFlight = 1;        // on a bus behind a Modbus TCP gateway: requests sent ahead
    uint8_t registers = 4;   // Modbus registers read: 4 (X, Y) or 5 (and the temperature)
    int intervalMs = 200;    // 0: listen only
    std::string ratioText = "0.01";
    std::string xRangeText = "90deg";
    std::string yRangeText = "90deg";
    std::string output;  // a folder, or "-" for standard output
    std::string prefix = "Tiltscope";
    double durationSeconds = 0;  // 0: no limit
    uint64_t count = 0;          // 0: no limit
    std::string configPath;
    bool reconnect = false;
    // --mqtt: every row is published to a broker too.
    std::string mqttUrl;           // as given; empty: no MQTT
    MqttTarget mqtt;               // parsed from mqttUrl
    std::string mqttCa;            // --mqtt-ca FILE: the CA certificate for mqtts
    std::string mqttPasswordFile;  // --mqtt-password-file FILE
    std::string mqttClientId;      // --mqtt-client-id; empty: from the host name and port
    size_t mqttQueue{1 << 24};     // --mqtt-queue: bytes of rows held in memory, 16 MiB
    bool Mqtt() const { return !mqttUrl.empty(); }
    // --output none: no CSV files, only the MQTT feed.
    bool NoFiles() const { return output == "none"; }

    // --export OUT FILE...: no logging; the recordings read into one tidy CSV.
    std::string exportPath;
    std::vector<std::string> exportFiles;

    // tiltlog set: the sensor's own settings to change; no logging.
    SensorChanges changes;

    bool ToStandardOutput() const { return output == "-"; }
    bool Bus() const { return addresses.size() > 1; }
    // "COM5", or the path as given.
    const std::string& PortLabel() const { return port; }
    LineSettings Line() const;
    // The COM<n> numbers' devices, a path given instead pinned to its number.
    PortMap Ports() const;
    DecodeParameters Decode() const;
    // The window's rule: the decimals follow the resolution text.
    std::string ValueFormat() const;
};

struct ParseOutcome {
    enum class Action { Run, Help, Fail, Export, Set };
    Action action = Action::Run;
    std::string message;  // Fail: the one-line error, without "tiltlog: " and line end
};

// `args` without the program name. Values come from the built-in defaults, then
// the --config file, then the flags. `defaultOutput` is the data folder beside
// the program, used when neither --output nor the file's PATH names one;
// `defaultPortsDir` holds the COM<n> links when no --config names a folder.
// `passwordVariable` is TILTLOG_MQTT_PASSWORD's value, null when it is not set.
ParseOutcome ParseOptions(const std::vector<std::string>& args, const std::string& defaultOutput,
                          LoggerOptions& out,
                          const std::string& defaultPortsDir = "../config/ports",
                          const char* passwordVariable = nullptr);

// The environment variable a service gives the broker's password in.
constexpr char kMqttPasswordVariable[] = "TILTLOG_MQTT_PASSWORD";

std::string HelpText(const std::string& defaultOutput,
                     const std::string& defaultPortsDir = "../config/ports");
