#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "CsvRecorder.h"

// What the operator must be told about a recording's writes, found by looking
// at the recorder now and then (the window's once-a-second tick, tiltlog's).
// Each fault is told once when it begins; a repeat period makes a fault that
// lasts be told again (tiltlog's standard error, where nobody answers a box).
enum class RecordingEvent {
    CannotCreate,  // the recording's first file cannot be made: nothing is on the disk
    CannotWrite,   // a write is refused for a reason that will not pass by itself
    DiskFull,      // no space: the rows are held until there is
    StillFailing,  // the fault told before lasts (repeat period only)
    Dropping,      // the held rows reached their bound: the oldest now go
    WritingAgain,  // the disk takes the rows again after a fault
};

struct RecordingNews {
    RecordingEvent event;
    WriteFault fault;  // the fault of the moment (the one that ended, for WritingAgain)
    uint64_t rowsHeld = 0;
};

class RecordingAlerts {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // repeat: how often a lasting fault is told again; zero for never.
    explicit RecordingAlerts(std::chrono::seconds repeat = std::chrono::seconds(0))
        : repeat_(repeat) {}

    // Forget what was told: a new recording begins.
    void Reset();

    std::vector<RecordingNews> Check(const WriteFault& fault, const RecorderStats& stats,
                                     TimePoint now);

private:
    std::chrono::seconds repeat_;
    uint64_t toldFault_ = 0;      // number of the last fault told
    bool faultLasts_ = false;     // the told fault has not ended yet
    WriteFault lastFault_;        // for the end of it
    uint64_t droppedBefore_ = 0;  // rows dropped before the fault of the moment
    bool droppingTold_ = false;
    TimePoint toldAt_{};
};
