#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Options.h"
#include "Serialport.h"

// What the serial channel tells a command-line owner from its own thread: the
// errors are kept for the main loop, which a write to the wake-up descriptor
// brings round.
class PortReports {
public:
    PortReports(const LoggerOptions& options, const CSerialPort& port, int wakeFd)
        : options_(options), port_(port), wakeFd_(wakeFd) {}

    void Wake() const;
    // From the channel's thread: one line, kept until taken.
    void Add(const std::string& text);
    std::vector<std::string> Take();
    // The port as given, and the device a COM<n> leads to: "COM5 (/dev/ttyUSB0)".
    std::string DescribePort() const;
    // Just after an open: why the line is no use though the port is open (the
    // channel could not set it up, or cannot listen), or empty. Logging or
    // setting a sensor on a wrongly set up line would only meet noise.
    std::string SetUpFailure();

private:
    const LoggerOptions& options_;
    const CSerialPort& port_;
    const int wakeFd_;
    std::mutex mutex_;
    std::vector<std::string> errors_;
};
