#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "SensorSimulator.h"

// A serial device server of the test's own on 127.0.0.1: one client at a time,
// whose requests the in-process simulator answers. Serves on its own thread, so
// the test may wait on anything else meanwhile.
class SimServer {
public:
    // Port 0 takes any free port; a given one serves again where an earlier server was.
    explicit SimServer(const SimulatorOptions& options = SimulatorOptions(), uint16_t port = 0);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    bool Listening() const { return listener_ >= 0; }
    uint16_t Port() const { return port_; }
    std::string Address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
    int Accepted() const { return accepted_.load(); }
    int Requests() const { return requests_.load(); }
    // Closes the connection of the present client, as a converter that restarts.
    void DropClient();

    // A port on 127.0.0.1 where nobody listens: bound once, then let go.
    static uint16_t RefusingPort();

private:
    void Serve();

    SensorSimulator sim_;
    int listener_ = -1;
    int stop_ = -1;
    int drop_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::atomic<int> requests_{0};
    std::thread thread_;
};
