#include "ReceivePath.h"

#include <algorithm>
#include <array>
#include <utility>

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
constexpr size_t kModbusExceptionSize = 5;
// Address, function, byte count and the two CRC bytes around the data.
constexpr size_t kModbusReadOverhead = 5;

// The lengths of the replies the sensors send; anything else after a 0x68 is
// noise, and waiting for it to end would swallow the frames behind it.
bool TarqLengthAccepted(uint8_t length) {
    switch (length) {
        case 5:
        case 10:
        case 13:
        case 15:
        case 16:
        case 17:
            return true;
        default:
            return false;
    }
}

// A read of one to five of the registers from 2 on: two bytes each.
bool ModbusByteCountAccepted(uint8_t n) {
    return n >= 2 && n <= 10 && n % 2 == 0;
}

bool ModbusExceptionFunction(uint8_t function) {
    return function == (kModbusRead | 0x80) || function == (kModbusWrite | 0x80);
}

// The size of the frame whose first bytes are at p (n of them there), 0 when
// they start no frame the protocol accepts.
size_t TarqFrameSize(const uint8_t* p, size_t n) {
    if (n < 2 || p[0] != kTarqHeader || !TarqLengthAccepted(p[1])) return 0;
    return size_t{p[1]} + 1;
}

// `start`: p[0] is an address a reply may begin with.
size_t ModbusFrameSize(const uint8_t* p, size_t n, bool start) {
    if (n < 2 || !start) return 0;
    if (p[1] == kModbusWrite) return kModbusEchoSize;
    if (ModbusExceptionFunction(p[1])) return kModbusExceptionSize;
    if (p[1] != kModbusRead || n < 3 || !ModbusByteCountAccepted(p[2])) return 0;
    return p[2] + kModbusReadOverhead;
}

}  // namespace

ReceivePath::ReceivePath(const DecodeParameters& params, ReceiveHandlers handlers)
    : params_(params), handlers_(std::move(handlers)) {}

void ReceivePath::SetBusAddresses(const std::vector<uint8_t>& addresses) {
    busAddresses_.reset();
    for (uint8_t a : addresses) busAddresses_.set(a);
}

void ReceivePath::AppendHex(uint8_t b) {
    if (!quiet_) traffic_.append(kHex[b].data(), kHex[b].size());
}

void ReceivePath::AppendText(const char* text) {
    if (!quiet_) traffic_ += text;
}

void ReceivePath::BoundTraffic() {
    // Cut in halves, not per byte, so a flood costs one move per limit's worth.
    if (traffic_.size() <= 2 * kTrafficPaneLimit) return;
    size_t cut = traffic_.size() - kTrafficPaneLimit;
    // Start the kept part on a line of its own where one begins soon after.
    const size_t line = traffic_.find('\n', cut);
    if (line != std::string::npos && line - cut < 64) cut = line + 1;
    traffic_.erase(0, cut);
    trafficDropped_ += cut;
}

void ReceivePath::EchoFrameByte(uint8_t b) {
    if (rxPrefixDue_) {
        AppendText(kRxPrefix);
        rxPrefixDue_ = false;
    }
    AppendHex(b);
}

void ReceivePath::StartFrame(uint8_t b, Protocol protocol) {
    AppendText(kRxPrefix);
    AppendHex(b);
    frame_[0] = b;
    count_ = 1;
    state_ = protocol == Protocol::Tarq ? kTarqLength : kModbusFunction;
    open_ = protocol;
    bytesBeforeRequest_ = requestMark_;
    rxPrefixDue_ = false;
}

void ReceivePath::Store(uint8_t b) {
    // Every accepted frame ends by its size before the buffer is full.
    if (count_ >= kFrameBufferSize) return;
    frame_[count_++] = b;
    EchoFrameByte(b);
}

void ReceivePath::OnTxFrame(const uint8_t* bytes, size_t count) {
    if (!linkOpen_) return;
    // A reply that a false start has swallowed is whole already: read it before
    // the request decides what becomes of the open candidate.
    ReadHiddenFrames(false);
    if (writeQueue_) writeQueue_->QueueWrite(bytes, static_cast<uint32_t>(count));
    traffic_ += kTxPrefix;
    for (size_t i = 0; i < count; ++i) AppendHex(bytes[i]);
    traffic_ += kLineEnd;
    BoundTraffic();
    requestMark_ = 0;
    if (FrameOpen() && open_ == Protocol::Tarq) {
        // A frame-protocol sensor may be sending by itself, and the rest of this
        // frame be on the line already: dropping it would lose a good frame at
        // every poll. Should it fail its checksum, it was the stale half of a
        // cut-off reply, and what came after this request is searched again.
        bytesBeforeRequest_ = count_;
        rxPrefixDue_ = true;
        return;
    }
    // A half-assembled Modbus reply is abandoned: the answer to this request follows.
    open_ = Protocol::None;
    state_ = kIdleAfterTransmit;
}

void ReceivePath::OnRxBlock(int message, const uint8_t* bytes, const RxBlockInfo& info) {
    if (message == MSG_RX_MODBUS)
        OnRxModbus(bytes, info.count);
    else
        OnRxTarq(bytes, info.count);
}

void ReceivePath::OnRxTarq(const uint8_t* bytes, size_t count) {
    Feed(Protocol::Tarq, bytes, count);
}

void ReceivePath::OnRxModbus(const uint8_t* bytes, size_t count) {
    Feed(Protocol::Modbus, bytes, count);
}

void ReceivePath::Feed(Protocol protocol, const uint8_t* bytes, size_t count) {
    if (FrameOpen() && open_ != protocol) {
        // Begun under the other protocol: no frame of this one.
        AppendText(kLineEnd);
        state_ = kIdle;
        open_ = Protocol::None;
        bytesBeforeRequest_ = 0;
    }
    if (protocol == Protocol::Tarq) {
        for (size_t i = 0; i < count; ++i) TarqByte(bytes[i]);
    } else {
        for (size_t i = 0; i < count; ++i) ModbusByte(bytes[i]);
    }
    // The line has gone quiet for now: a frame that ends with it and hides behind
    // a false start would otherwise wait for bytes that may never come.
    ReadHiddenFrames(true);
    // Once a block: one read holds no more than the driver's buffer.
    BoundTraffic();
}

void ReceivePath::TarqByte(uint8_t b) {
    switch (state_) {
        case kTarqLength:
            Store(b);
            if (!TarqLengthAccepted(b))
                Reject();
            else
                state_ = b == kTarqAckSize - 1 ? kTarqAcknowledgeRest
                         : b <= 13             ? kTarqThreeByteValueRest
                                               : kTarqFourByteValueRest;
            break;
        case kTarqAcknowledgeRest:
        case kTarqThreeByteValueRest:
        case kTarqFourByteValueRest:
            Store(b);
            if (count_ == size_t{frame_[1]} + 1) CompleteTarqFrame();
            break;
        default:
            if (b == kTarqHeader) StartFrame(b, Protocol::Tarq);
            break;
    }
}

void ReceivePath::ModbusByte(uint8_t b) {
    switch (state_) {
        case kModbusFunction:
            Store(b);
            if (b == kModbusRead)
                state_ = kModbusByteCount;
            else if (b == kModbusWrite)
                state_ = kModbusEchoRest;
            else if (ModbusExceptionFunction(b))
                state_ = kModbusExceptionRest;
            else
                Reject();
            break;
        case kModbusByteCount:
            Store(b);
            if (!ModbusByteCountAccepted(b))
                Reject();
            else
                state_ = kModbusReadDataRest;
            break;
        case kModbusReadDataRest:
            Store(b);
            if (count_ == frame_[2] + kModbusReadOverhead) CompleteModbusRead();
            break;
        case kModbusEchoRest:
            Store(b);
            if (count_ == kModbusEchoSize) CompleteModbusAnswer(handlers_.OnModbusEcho);
            break;
        case kModbusExceptionRest:
            Store(b);
            if (count_ == kModbusExceptionSize) CompleteModbusAnswer(handlers_.OnModbusException);
            break;
        default:
            if (ModbusStart(b)) StartFrame(b, Protocol::Modbus);
            break;
    }
}

void ReceivePath::Reject() {
    AppendText(kLineEnd);
    Resync();
}

void ReceivePath::Resync() {
    ++resyncs_;
    uint8_t rest[kFrameBufferSize];
    const size_t n = count_ > 0 ? count_ - 1 : 0;
    std::copy(frame_ + 1, frame_ + 1 + n, rest);
    const Protocol protocol = open_;
    const size_t mark = bytesBeforeRequest_ > 1 ? bytesBeforeRequest_ - 1 : 0;
    state_ = kIdle;
    count_ = 0;
    open_ = Protocol::None;
    bytesBeforeRequest_ = 0;

    const bool wasQuiet = std::exchange(quiet_, true);  // these bytes are on screen already
    const size_t outerMark = std::exchange(requestMark_, mark);
    for (size_t i = 0; i < n; ++i) {
        if (protocol == Protocol::Tarq)
            TarqByte(rest[i]);
        else
            ModbusByte(rest[i]);
        if (requestMark_ > 0) --requestMark_;
    }
    requestMark_ = outerMark;
    quiet_ = wasQuiet;
    // A frame left open continues on a line of its own.
    rxPrefixDue_ = FrameOpen();
}

bool ReceivePath::HiddenFrame(bool atEnd) const {
    for (size_t k = 1; k < count_; ++k) {
        const uint8_t* p = frame_ + k;
        const size_t left = count_ - k;
        const size_t size = open_ == Protocol::Tarq ? TarqFrameSize(p, left)
                                                    : ModbusFrameSize(p, left, ModbusStart(p[0]));
        if (size == 0 || size > left || (atEnd && size != left)) continue;
        const bool ok = open_ == Protocol::Tarq ? TarqChecksum(p, size) == p[size - 1]
                                                : ModbusCrc(p, size) == 0;
        if (ok) return true;
    }
    return false;
}

void ReceivePath::ReadHiddenFrames(bool atEnd) {
    // Each round gives up one byte of the candidate, so this ends.
    while (FrameOpen() && HiddenFrame(atEnd)) Reject();
}

void ReceivePath::CompleteTarqFrame() {
    const State kind = state_;
    // Idle before any hand-over, so a handler that transmits leaves state 1 behind.
    state_ = kIdle;
    AppendText(kLineEnd);
    const bool ok = TarqChecksum(frame_, count_) == frame_[count_ - 1];
    if (!ok) {
        // Begun before the last request, it was the stale half of a reply cut
        // off: neither a frame nor a miscount.
        const bool stale = bytesBeforeRequest_ > 0 && bytesBeforeRequest_ < count_;
        if (kind != kTarqAcknowledgeRest && !stale) {
            ++framesThisSecond_;
            CountMiscount();
        }
        Resync();
        return;
    }
    open_ = Protocol::None;
    bytesBeforeRequest_ = 0;
    replySeen_ = true;
    ++replies_;
    if (kind == kTarqAcknowledgeRest) {
        if (handlers_.OnTarqAcknowledge) handlers_.OnTarqAcknowledge(frame_, count_);
        return;
    }
    const uint8_t length = frame_[1];
    hasTemperature_ = length == 13 || length == 16 || length == 17;
    ++framesThisSecond_;
    if (kind == kTarqThreeByteValueRest)
        DecodeTarqThreeByteGroup(frame_, count_, hasTemperature_, params_.ResolutionFactor, last_);
    else
        DecodeTarqFourByteGroup(frame_, count_, hasTemperature_, params_.ResolutionFactor, last_);
    last_.address = frame_[2];
    Deliver();
}

void ReceivePath::CompleteModbusRead() {
    state_ = kIdle;
    AppendText(kLineEnd);
    ++framesThisSecond_;
    if (ModbusCrc(frame_, count_) != 0) {
        CountMiscount();
        Resync();
        return;
    }
    open_ = Protocol::None;
    Measurement m = last_;
    DecodeModbusRead(frame_, count_, params_, m);
    // Whole and checked, but no reading the sensor could give: a bad reply.
    if (!ModbusReadingPlausible(m, params_)) {
        CountMiscount();
        return;
    }
    replySeen_ = true;
    ++replies_;
    last_ = m;
    last_.address = frame_[0];
    Deliver();
}

void ReceivePath::CompleteModbusAnswer(const FrameHandler& handler) {
    // Echoes and exceptions are neither measurements nor miscounts.
    state_ = kIdle;
    AppendText(kLineEnd);
    if (ModbusCrc(frame_, count_) != 0) {
        Resync();
        return;
    }
    open_ = Protocol::None;
    replySeen_ = true;
    ++replies_;
    if (handler) handler(frame_, count_);
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
