#include "PortReports.h"

#include <unistd.h>

#include <cstdint>

#include "Console.h"
#include "SystemCalls.h"

void PortReports::Wake() const {
    const uint64_t one = 1;
    RetryEintr([&] { return ::write(wakeFd_, &one, sizeof one); });
}

void PortReports::Add(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_.push_back(OneLine(text));
    }
    Wake();
}

std::vector<std::string> PortReports::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(errors_);
    return taken;
}

std::string PortReports::DescribePort() const {
    if (!options_.devicePath.empty()) return options_.devicePath;
    const std::string& device = port_.DevicePath();
    return device.empty() ? options_.PortLabel() : options_.PortLabel() + " (" + device + ")";
}

std::string PortReports::SetUpFailure() {
    const std::vector<std::string> errors = Take();
    if (!errors.empty()) return "cannot set up " + DescribePort() + ": " + errors.front();
    if (!port_.MonitorAlive() && port_.IsOpen()) return "cannot listen on " + DescribePort();
    return "";
}
