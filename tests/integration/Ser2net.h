#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "SensorSimulator.h"

// ser2net, the device server sites run, as a process of the test's own in front
// of one serial device, on a free port of 127.0.0.1. `accepter` is "tcp" (raw)
// or "telnet(rfc2217),tcp"; `line` the device's settings at each open ("9600n81").
class Ser2net {
public:
    Ser2net(const std::string& device, const std::string& accepter, const std::string& line);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // It accepts connections.
    bool Ready() const { return ready_; }
    uint16_t Port() const { return port_; }

private:
    std::string dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    bool ready_ = false;
};

// A sensor on a pseudo-terminal whose clock stands still at `now`: every
// measurement reply is the same, so a test chooses the bytes it holds.
class PtySensor {
public:
    PtySensor(const SimulatorOptions& options, double now);
    ~PtySensor();
    PtySensor(const PtySensor&) = delete;
    PtySensor& operator=(const PtySensor&) = delete;

    const std::string& Path() const { return path_; }
    int Replies() const { return replies_.load(); }

private:
    void Serve();

    SensorSimulator sim_;
    double now_;
    int master_ = -1, slave_ = -1, stop_ = -1;
    std::string path_;
    std::atomic<int> replies_{0};
    std::thread thread_;
};
