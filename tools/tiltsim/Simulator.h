#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FrameQueue.h"
#include "LinePacer.h"
#include "Listener.h"
#include "PtyPort.h"
#include "SensorBus.h"
#include "ServedTransport.h"
#include "SimOptions.h"

// tiltsim's loop: moves bytes between the sensors and the client's end of the
// line (a pseudo-terminal, or one TCP client at a time), at the line's pace,
// and obeys the signals that unplug, hush or end it.
class Simulator {
public:
    explicit Simulator(const SimArgs& args);
    // Serves until a signal ends it; the process's exit status.
    int Run();

private:
    // Automatic output stops queueing while this many frames wait for the line, so a
    // terminal nobody reads fills up and waits instead of growing memory.
    static constexpr size_t kMaxBacklogFrames = 32;
    // After a read error on the master, look again this much later rather than spin.
    static constexpr double kReadRetrySeconds = 0.1;

    double Clock() const;
    bool OpenLine();
    bool SetUpSignals();
    void OnSignals();
    void Unplug();
    void DropClient();
    void Accept();
    void Serve(int fd);
    bool ClientHears(uint32_t baud, char parity,
                     const std::optional<LineSettings>& heardOn = std::nullopt) const;
    LineSettings ClientLine() const;
    void Flush(double now);
    bool DrainWire();
    bool AutoOutputOn() const;
    void AutoOutput(double now);
    void MakeAutoFrame(double now);
    void ReadRequests(double now);
    void Hear(const HeardBytes& heard, double now);
    void Step();

    const SimArgs& args_;
    SensorBus bus_;
    SensorSimulator& sensor_;  // the first address's: automatic output, line settings
    std::optional<LinePacer> pacer_;
    Listener listener_;
    int master_ = -1;
    int slave_ = -1;
    int signalFd_ = -1;
    std::string slavePath_;
    PortLink link_;
    bool quit_ = false;
    // SIGUSR2: a sensor that has stopped talking for a while, line and all still there.
    bool hushed_ = false;
    double start_ = 0;

    // The transport of the client served, and the line's bytes it has put on the
    // wire that the client has not yet taken; a frame counts as sent once its
    // last byte is out of here.
    std::unique_ptr<ServedTransport> transport_;
    std::vector<uint8_t> wire_;
    size_t wireSent_ = 0;
    bool wireEndsFrame_ = false;
    // A network server's own serial port: what a client finds when it connects.
    LineSettings serverLine_;

    FrameQueue queue_;
    uint64_t framesSent_ = 0;

    double autoHz_ = 0;
    double nextAuto_ = 0;
    uint64_t autoMade_ = 0;
    bool requestSeen_ = false;
    double readRetryAt_ = 0;
    double lineRecheckAt_ = 0;
};
