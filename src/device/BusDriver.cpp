#include "BusDriver.h"

#include <optional>
#include <vector>

#include "ReadRequest.h"

void BusDriver::Poll(BusPoller::Clock::time_point now) {
    // A reply given up with nothing of a frame left open: no good reply is
    // coming in this turn.
    if (bus_.Awaiting() && path_.Miscount() != miscountAtRequest_ && !path_.FrameOpen()) {
        bus_.OnBadReply(now);
        miscountAtRequest_ = path_.Miscount();
    }
    while (const std::optional<uint8_t> address = bus_.Due(now, path_.FrameOpen())) {
        // Modbus replies are looked for from the address asked.
        path_.SetDeviceAddress(*address);
        miscountAtRequest_ = path_.Miscount();
        const std::vector<uint8_t> request = BuildReadRequest(protocol_, *address, registers_);
        path_.OnTxFrame(request.data(), request.size());
    }
}
