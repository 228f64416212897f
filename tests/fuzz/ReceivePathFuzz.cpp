// Drives the receive path with byte blocks of both protocols, transmissions and
// parameter changes in an order the input itself chooses.
//
// Input: [device address] [flags: bit 0 link open] then records
//   [op] [n] [n + 1 bytes]   op % 4 == 0: frame-protocol block, 1: Modbus block,
//                            2: transmission
//   [op] [arg]               op % 4 == 3: control, by arg % 4: take the traffic
//                            text, take the frame count, toggle the link, or take
//                            four more bytes as the resolution (any float)
// The decoders are also run on the raw input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "TarqProtocol.h"

namespace {

class NullQueue : public WriteQueue {
public:
    void QueueWrite(const uint8_t* block, uint32_t n) override {
        for (uint32_t i = 0; i < n; ++i) sum += block[i];
    }
    unsigned sum = 0;
};

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsTrafficChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ' ' || c == 'R' || c == 'T' ||
           c == 'x' || c == ':' || c == '\r' || c == '\n';
}

void CheckTraffic(const std::string& text) {
    for (char c : text) Require(IsTrafficChar(c));
}

volatile double sink;

void DecodeRaw(const uint8_t* data, size_t size) {
    DecodeParameters params;
    Measurement m;
    if (size >= 4) {
        sink = DecodeBcd3(data, 0.01f);
        sink = DecodeBcd4(data, 0.01f);
    }
    DecodeModbusRead(data, size, params, m);
    DecodeTarqThreeByteGroup(data, size, true, params.ResolutionFactor, m);
    DecodeTarqFourByteGroup(data, size, size % 2 == 0, params.ResolutionFactor, m);
    sink = m.x + m.y + m.temperature;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeRaw(data, size);
    if (size < 2) return 0;

    DecodeParameters params;
    int delivered = 0;
    ReceiveHandlers handlers;
    handlers.DeliverMeasurement = [&delivered](const Measurement& m) {
        ++delivered;
        sink = m.x + m.y + m.temperature;
    };
    // The handlers' contract: only well-formed, checked frames reach them.
    handlers.OnTarqAcknowledge = [](const uint8_t* frame, size_t count) {
        Require(count == 6 && frame[1] == 5);
        Require(TarqChecksum(frame, count) == frame[count - 1]);
    };
    handlers.OnModbusEcho = [](const uint8_t* frame, size_t count) {
        Require(count == 8 && ModbusCrc(frame, count) == 0);
    };
    handlers.OnModbusException = [](const uint8_t* frame, size_t count) {
        Require(count == 5 && (frame[1] & 0x80) != 0 && ModbusCrc(frame, count) == 0);
    };

    NullQueue queue;
    ReceivePath path(params, handlers);
    path.SetWriteQueue(&queue);
    path.SetDeviceAddress(data[0]);
    path.SetLinkOpen(data[1] & 1);

    long framesTaken = 0;
    size_t at = 2;
    while (at + 2 <= size) {
        const uint8_t op = data[at];
        const uint8_t arg = data[at + 1];
        at += 2;
        if (op % 4 == 3) {
            switch (arg % 4) {
                case 0:
                    CheckTraffic(path.TakeTrafficText());
                    break;
                case 1:
                    framesTaken += path.TakeFramesThisSecond();
                    break;
                case 2:
                    path.SetLinkOpen(!path.LinkOpen());
                    break;
                default:
                    if (at + 4 <= size) {
                        std::memcpy(&params.ResolutionFactor, data + at, 4);
                        at += 4;
                    }
                    break;
            }
            continue;
        }
        size_t n = static_cast<size_t>(arg) + 1;
        if (n > size - at) n = size - at;
        const uint8_t* block = data + at;
        at += n;
        if (op % 4 == 2) {
            path.OnTxFrame(block, n);
            continue;
        }
        RxBlockInfo info;
        info.count = static_cast<uint32_t>(n);
        path.OnRxBlock(op % 4 == 1 ? MSG_RX_MODBUS : MSG_RX_TARQ, block, info);
        Require(path.ReceiveState() >= ReceivePath::kIdle &&
                path.ReceiveState() <= ReceivePath::kModbusExceptionRest);
    }

    Require(path.MiscountText() == std::to_string(path.Miscount()));
    // Every counted measurement frame is either delivered or a miscount.
    Require(framesTaken + path.FramesThisSecond() == delivered + path.Miscount());
    CheckTraffic(path.PendingTrafficText());
    sink = delivered;
    return 0;
}
