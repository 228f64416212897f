#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DeviceTypes.h"

// The most the traffic pane holds before it starts over, in characters. The
// traffic text waiting for it keeps its newest part within the same bound, so
// a line that never stops cannot grow it between two flushes.
constexpr size_t kTrafficPaneLimit = 65535;

// Where transmitted requests go: the serial channel's one-slot mailbox.
class WriteQueue {
public:
    virtual ~WriteQueue() = default;
    virtual void QueueWrite(const uint8_t* block, uint32_t n) = 0;
};

// What the receive path hands on. Every member may be left empty.
struct ReceiveHandlers {
    // Every measurement reply of both protocols whose check holds, with the
    // numbers kept from earlier replies. Its flags say which values this reply
    // carried; one that carries none is no measurement, only a sign of life.
    std::function<void(const Measurement&)> DeliverMeasurement;
    // A frame-protocol acknowledgement (length 5) whose checksum holds.
    std::function<void(const uint8_t* frame, size_t count)> OnTarqAcknowledge;
    // A Modbus write echo (8 bytes) whose CRC holds.
    std::function<void(const uint8_t* frame, size_t count)> OnModbusEcho;
    // A Modbus exception reply (5 bytes) whose CRC holds: the request was refused.
    std::function<void(const uint8_t* frame, size_t count)> OnModbusException;
};

// The shared receive state of both protocols, the transmit handler and the
// traffic echo. Lives on the UI thread only: the channel's deliveries and every
// request run there, so nothing here needs a lock.
class ReceivePath {
public:
    // The longest frame either protocol accepts (a four-byte frame of length 17).
    static constexpr size_t kFrameBufferSize = 18;
    // What the path reads next. Between frames it waits for a frame's first
    // byte; inside one, each protocol has steps of its own.
    enum State : int {
        kIdle = 0,
        kIdleAfterTransmit = 1,  // a request has gone out
        // Frame protocol, after the 0x68 header:
        kTarqLength,              // the length byte, which tells the kind of frame
        kTarqAcknowledgeRest,     // the rest of an acknowledgement
        kTarqThreeByteValueRest,  // the rest of a reply with three-byte values
        kTarqFourByteValueRest,   // the rest of a reply with four-byte values
        // Modbus, after the address byte:
        kModbusFunction,
        kModbusByteCount,      // of a read reply
        kModbusReadDataRest,   // the registers and the CRC of a read reply
        kModbusEchoRest,       // the rest of a write echo, eight bytes in all
        kModbusExceptionRest,  // the rest of an exception reply, five bytes in all
    };

    ReceivePath(const DecodeParameters& params, ReceiveHandlers handlers);

    // Link state and the channel requests go to; a closed link drops every request.
    void SetLinkOpen(bool open) { linkOpen_ = open; }
    bool LinkOpen() const { return linkOpen_; }
    void SetWriteQueue(WriteQueue* queue) { writeQueue_ = queue; }
    // Modbus replies start with this byte.
    void SetDeviceAddress(uint8_t address) { deviceAddress_ = address; }
    uint8_t DeviceAddress() const { return deviceAddress_; }
    // On a bus, Modbus replies may start with any polled address too: a reply
    // that comes after its time-out is still read, and whose it is decided
    // by its address.
    void SetBusAddresses(const std::vector<uint8_t>& addresses);

    // MSG_TX_FRAME: queue, echo "Tx: ...", and abandon any half-assembled
    // Modbus reply. A half frame of the frame protocol is kept (see OnTxFrame).
    // Either way a whole frame hidden behind a false start is read first.
    void OnTxFrame(const uint8_t* bytes, size_t count);
    // MSG_RX_TARQ / MSG_RX_MODBUS, chosen by `message`.
    void OnRxBlock(int message, const uint8_t* bytes, const RxBlockInfo& info);
    void OnRxTarq(const uint8_t* bytes, size_t count);
    void OnRxModbus(const uint8_t* bytes, size_t count);

    // The traffic text waiting for the next pane flush.
    const std::string& PendingTrafficText() const { return traffic_; }
    std::string TakeTrafficText();

    bool ReplySeen() const { return replySeen_; }
    // Frames of any kind whose check held, since the start: a reply after a
    // given moment is one that raises it.
    uint64_t Replies() const { return replies_; }
    int FramesThisSecond() const { return framesThisSecond_; }
    // Reads and resets the per-second frame count (the one-second tick does this).
    int TakeFramesThisSecond();
    int Miscount() const { return miscount_; }
    const std::string& MiscountText() const { return miscountText_; }
    const Measurement& LastMeasurement() const { return last_; }
    bool HasTemperature() const { return hasTemperature_; }
    State ReceiveState() const { return state_; }
    // Inside a frame: some of its bytes have been read.
    bool FrameOpen() const { return state_ != kIdle && state_ != kIdleAfterTransmit; }
    // Candidate frames given up (bad length, function, byte count, checksum or
    // CRC) and searched again from their second byte.
    uint64_t Resyncs() const { return resyncs_; }
    // Traffic text cut away because no flush came in time to take it.
    uint64_t TrafficBytesDropped() const { return trafficDropped_; }

private:
    enum class Protocol { None, Tarq, Modbus };

    void AppendHex(uint8_t b);
    void AppendText(const char* text);
    void BoundTraffic();
    void EchoFrameByte(uint8_t b);
    void StartFrame(uint8_t b, Protocol protocol);
    void Store(uint8_t b);
    void TarqByte(uint8_t b);
    void ModbusByte(uint8_t b);
    void Feed(Protocol protocol, const uint8_t* bytes, size_t count);
    // The open candidate is no frame: close its echo line and search its bytes
    // again from the second one, quietly, since they are on screen already.
    void Reject();
    void Resync();
    // A whole frame that passes its check inside the open candidate, at index 1
    // or later; `atEnd` asks for one that ends with the bytes collected.
    bool HiddenFrame(bool atEnd) const;
    void ReadHiddenFrames(bool atEnd);
    void CountMiscount();
    void Deliver();
    void CompleteTarqFrame();
    void CompleteModbusRead();
    using FrameHandler = std::function<void(const uint8_t* frame, size_t count)>;
    // A write echo or an exception reply: checked, then handed to `handler`.
    void CompleteModbusAnswer(const FrameHandler& handler);
    bool ModbusStart(uint8_t b) const { return b == deviceAddress_ || busAddresses_.test(b); }

    const DecodeParameters& params_;
    ReceiveHandlers handlers_;
    WriteQueue* writeQueue_ = nullptr;
    bool linkOpen_ = false;
    uint8_t deviceAddress_ = 0;
    std::bitset<256> busAddresses_;

    State state_ = kIdle;
    uint8_t frame_[kFrameBufferSize] = {};
    size_t count_ = 0;
    // Which protocol opened the candidate; the frame protocol's sensors may send
    // by themselves while a request goes out.
    Protocol open_ = Protocol::None;
    // Bytes of the open frame that came before the last request; 0 if none did.
    size_t bytesBeforeRequest_ = 0;
    // While bytes are searched again: how many of those still to come preceded
    // the last request.
    size_t requestMark_ = 0;
    bool rxPrefixDue_ = false;  // the echo resumes after a "Tx:" line
    bool quiet_ = false;        // bytes read again are not echoed again
    bool hasTemperature_ = false;
    Measurement last_;
    std::string traffic_;
    bool replySeen_ = false;
    uint64_t replies_ = 0;
    int framesThisSecond_ = 0;
    int miscount_ = 0;
    std::string miscountText_ = "0";
    uint64_t resyncs_ = 0;
    uint64_t trafficDropped_ = 0;
};
