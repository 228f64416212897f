#pragma once

#include <cstdint>

#include "BusPoller.h"
#include "ReceivePath.h"

// Carries a bus poller's turns out through a receive path: a turn whose reply
// the path gave up (checksum, CRC) ends at once, and each request that is due
// is built for its address and sent. The window and tiltlog drive a bus alike.
class BusDriver {
public:
    BusDriver(BusPoller& bus, ReceivePath& path, int protocol, uint8_t registers)
        : bus_(bus), path_(path), protocol_(protocol), registers_(registers) {}

    // Call whenever something may have changed: after a delivery, and at
    // the poller's next due time.
    void Poll(BusPoller::Clock::time_point now);

private:
    BusPoller& bus_;
    ReceivePath& path_;
    const int protocol_;
    const uint8_t registers_;
    // The path's miscount when the last request went: a rise with no frame
    // left open is a reply given up.
    int miscountAtRequest_ = 0;
};
