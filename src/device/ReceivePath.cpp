#include "ReceivePath.h"

#include <array>
#include <utility>
#include <vector>

#include "ModbusProtocol.h"
#include "TarqProtocol.h"

namespace {

// "%02x " for every byte value, built at compile time: the echo runs for every
// byte on the line, and a formatted print per byte would dominate the decode.
using HexTable = std::array<std::array<char, 3>, 256>;

constexpr HexTable MakeHexTable() {
    constexpr char kDigits[] = "0123456789abcdef";
    HexTable t{};
    for (unsigned b = 0; b < 256; ++b) {
        t[b][0] = kDigits[b >> 4];
        t[b][1] = kDigits[b & 0x0F];
        t[b][2] = ' ';
    }
    return t;
}

constexpr HexTable kHex = MakeHexTable();

constexpr char kRxPrefix[] = "Rx: ";
constexpr char kTxPrefix[] = "Tx: ";
constexpr char kLineEnd[] = "\r\n";

constexpr size_t kTarqAckSize = 6;
constexpr size_t kModbusEchoSize = 8;
// Address, function, byte count and the two CRC bytes around the data.
constexpr size_t kModbusReadOverhead = 5;

}  // namespace

ReceivePath::ReceivePath(const DecodeParameters& params, ReceiveHandlers handlers)
    : params_(params), handlers_(std::move(handlers)) {}

void ReceivePath::AppendHex(uint8_t b) {
    if (!quiet_) traffic_.append(kHex[b].data(), kHex[b].size());
}

void ReceivePath::AppendText(const char* text) {
    if (!quiet_) traffic_ += text;
}

void ReceivePath::EchoFrameByte(uint8_t b) {
    if (rxPrefixDue_) {
        AppendText(kRxPrefix);
        rxPrefixDue_ = false;
    }
    AppendHex(b);
}

void ReceivePath::StartFrame(uint8_t b) {
    AppendText(kRxPrefix);
    AppendHex(b);
    frame_[0] = b;
    count_ = 1;
    state_ = kStartSeen;
    bytesBeforeRequest_ = 0;
    rxPrefixDue_ = false;
}

void ReceivePath::Store(uint8_t b) {
    frame_[count_++] = b;
    EchoFrameByte(b);
}

void ReceivePath::DropIfFull() {
    // Only a Modbus collection in state 2 (or a frame carried across a protocol
    // switch) can get here; a frame-protocol frame ends by its length byte. The
    // byte that did not fit is then read as in idle: it may start the next frame.
    if (state_ < kStartSeen || count_ < kFrameBufferSize) return;
    AppendText(kLineEnd);
    ++overlongDropped_;
    state_ = kIdle;
}

void ReceivePath::OnTxFrame(const uint8_t* bytes, size_t count) {
    if (!linkOpen_) return;
    if (writeQueue_) writeQueue_->QueueWrite(bytes, static_cast<uint32_t>(count));
    traffic_ += kTxPrefix;
    for (size_t i = 0; i < count; ++i) AppendHex(bytes[i]);
    traffic_ += kLineEnd;
    if (state_ >= kStartSeen && tarqFrameOpen_) {
        // A frame-protocol sensor may be sending by itself, and the rest of this
        // frame be on the line already: dropping it would lose a good frame at
        // every poll. Should it fail its checksum, it was the stale half of a
        // cut-off reply, and what came after this request is read afresh.
        bytesBeforeRequest_ = count_;
        rxPrefixDue_ = true;
        return;
    }
    // A half-assembled reply is abandoned: the answer to this request follows.
    state_ = kIdleAfterTransmit;
}

void ReceivePath::OnRxBlock(int message, const uint8_t* bytes, const RxBlockInfo& info) {
    if (message == MSG_RX_MODBUS)
        OnRxModbus(bytes, info.count);
    else
        OnRxTarq(bytes, info.count);
}

void ReceivePath::OnRxTarq(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        DropIfFull();
        switch (state_) {
            case kStartSeen:
                // The length byte sits at index 1 whatever was collected before.
                frame_[1] = b;
                count_ = 2;
                EchoFrameByte(b);
                switch (b) {
                    case 5:
                        state_ = kAcknowledge;
                        break;
                    case 10:
                    case 13:
                        state_ = kThreeByteGroup;
                        hasTemperature_ = b == 13;
                        break;
                    case 15:
                    case 16:
                    case 17:
                        state_ = kFourByteGroup;
                        hasTemperature_ = b != 15;
                        break;
                    default:
                        // Unknown lengths read like the three-byte group and keep
                        // the temperature decision of the last known length.
                        state_ = kThreeByteGroup;
                        break;
                }
                break;
            case kThreeByteGroup:
            case kFourByteGroup:
            case kAcknowledge:
                Store(b);
                // L + 1 bytes; a length below 2 still ends after three.
                if (count_ > frame_[1]) CompleteTarqFrame();
                break;
            default:
                if (b == kTarqHeader) {
                    StartFrame(b);
                    tarqFrameOpen_ = true;
                }
                break;
        }
    }
}

void ReceivePath::CompleteTarqFrame() {
    const int kind = state_;
    // Idle before any hand-over, so a handler that transmits leaves state 1 behind.
    state_ = kIdle;
    AppendText(kLineEnd);
    const bool ok = TarqChecksum(frame_, count_) == frame_[count_ - 1];
    // The length byte always lands at index 1, so a frame carried across a
    // protocol switch can end shorter than what came before the request.
    if (!ok && bytesBeforeRequest_ > 0 && bytesBeforeRequest_ < count_) {
        RereadAfterRequest();
        return;
    }
    bytesBeforeRequest_ = 0;
    replySeen_ = true;
    if (kind == kAcknowledge) {
        // Only a frame started under this protocol has the length-5 shape; one
        // carried over a protocol switch is not an acknowledgement.
        const bool shaped = count_ == kTarqAckSize && frame_[1] == kTarqAckSize - 1;
        if (ok && shaped && handlers_.OnTarqAcknowledge)
            handlers_.OnTarqAcknowledge(frame_, count_);
        return;
    }
    ++framesThisSecond_;
    if (!ok) {
        CountMiscount();
        return;
    }
    if (kind == kThreeByteGroup)
        DecodeTarqThreeByteGroup(frame_, count_, hasTemperature_, params_.ResolutionFactor, last_);
    else
        DecodeTarqFourByteGroup(frame_, count_, hasTemperature_, params_.ResolutionFactor, last_);
    Deliver();
}

void ReceivePath::RereadAfterRequest() {
    // Neither a frame nor a miscount: the part before the request was left over
    // from a reply cut off, and the request's answer may start after it.
    const std::vector<uint8_t> after(frame_ + bytesBeforeRequest_, frame_ + count_);
    bytesBeforeRequest_ = 0;
    state_ = kIdleAfterTransmit;
    const bool wasQuiet = std::exchange(quiet_, true);  // these bytes are on screen already
    OnRxTarq(after.data(), after.size());
    quiet_ = wasQuiet;
    // A frame left open continues on a line of its own.
    rxPrefixDue_ = state_ >= kStartSeen;
}

void ReceivePath::OnRxModbus(const uint8_t* bytes, size_t count) {
    // A frame carried over from the frame protocol is a Modbus collection now:
    // a request abandons it, and nothing of it is read again.
    tarqFrameOpen_ = false;
    bytesBeforeRequest_ = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        DropIfFull();
        switch (state_) {
            case kStartSeen:
                // Anything but a read or write function (an exception reply, noise)
                // is collected until one of the two turns up.
                Store(b);
                if (b == kModbusRead)
                    state_ = kThreeByteGroup;
                else if (b == kModbusWrite)
                    state_ = kAcknowledge;
                break;
            case kThreeByteGroup:
            case kFourByteGroup:
                Store(b);
                // At least, not exactly: after a long state-2 collection the count
                // may already lie beyond the byte count's end, and must still stop.
                if (count_ >= frame_[2] + kModbusReadOverhead) CompleteModbusRead();
                break;
            case kAcknowledge:
                Store(b);
                if (count_ >= kModbusEchoSize) CompleteModbusEcho();
                break;
            default:
                if (b == deviceAddress_) StartFrame(b);
                break;
        }
    }
}

void ReceivePath::CompleteModbusRead() {
    state_ = kIdle;
    replySeen_ = true;
    AppendText(kLineEnd);
    ++framesThisSecond_;
    if (ModbusCrc(frame_, count_) != 0) {
        CountMiscount();
        return;
    }
    DecodeModbusRead(frame_, count_, params_, last_);
    Deliver();
}

void ReceivePath::CompleteModbusEcho() {
    state_ = kIdle;
    replySeen_ = true;
    AppendText(kLineEnd);
    // Echoes are neither measurements nor miscounts. A 0x06 met late in a state-2
    // collection ends a longer run of bytes, which is no echo whatever its CRC.
    if (count_ == kModbusEchoSize && ModbusCrc(frame_, count_) == 0 && handlers_.OnModbusEcho)
        handlers_.OnModbusEcho(frame_, count_);
}

void ReceivePath::CountMiscount() {
    ++miscount_;
    miscountText_ = std::to_string(miscount_);
}

void ReceivePath::Deliver() {
    if (handlers_.DeliverMeasurement) handlers_.DeliverMeasurement(last_);
}

std::string ReceivePath::TakeTrafficText() {
    return std::exchange(traffic_, std::string());
}

int ReceivePath::TakeFramesThisSecond() {
    return std::exchange(framesThisSecond_, 0);
}
