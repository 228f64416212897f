#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DeviceTypes.h"
#include "LineBackend.h"
#include "LineSettings.h"
#include "LinkLoss.h"
#include "PortNames.h"
#include "ReceivePath.h"
#include "TcpLine.h"

// What the channel needs of whoever opened it: the main window, tiltlog or a test.
class SerialOwner {
public:
    virtual ~SerialOwner() = default;
    // Runs on the UI thread, inside CSerialPort::ServiceDeliveries(). message is
    // MSG_RX_TARQ or MSG_RX_MODBUS, chosen from the protocol selector at delivery
    // time. The bytes are valid only during the call.
    virtual void DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) = 0;
    // Called from the monitor thread: make the UI thread call
    // CSerialPort::ServiceDeliveries() soon (the window posts a queued call).
    virtual void WakeUiThread() = 0;
    // An error box. Called from the monitor thread for line errors and from the
    // UI thread for configuration errors inside Open; the owner shows it on its
    // UI thread and must not block the caller waiting for the operator.
    virtual void ShowPortError(const std::string& text, const std::string& caption) = 0;
    // Something about the far end worth knowing, from the monitor thread, once.
    virtual void ShowLineNotice(const LineNotice& notice) {
        ShowPortError(notice.english, "Message");
    }
};

// The one serial channel: a port opened with the chosen line settings, one
// monitor thread that sleeps in poll() on the port and two wake-up descriptors,
// and a synchronous hand-off of every received block to the owner's UI thread.
class CSerialPort : public WriteQueue {
public:
    static constexpr uint32_t kWriteSlotSize = 512;

    explicit CSerialPort(PortMap ports = PortMap(),
                         std::shared_ptr<const PortFileSystem> fs = nullptr);
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens and configures line.portnr (1..199). Stops a running monitor first.
    // A number that names a serial device server is connected to instead, for
    // at most TcpLine::kConnectTimeout; a telnet (rfc2217://) server is asked to
    // set its port to the line settings, other servers keep their own.
    // True once the port is open, even when a configuration step failed (that is
    // reported to the owner); false when the device cannot be opened, with
    // LastOpenError() telling why. The owner must outlive the open channel.
    bool Open(SerialOwner* owner, const LineSettings& line);
    // How long Open waits for a server to accept; a quiet retry waits less,
    // since the window waits with it.
    void SetConnectTimeout(std::chrono::milliseconds timeout) { connectTimeout_ = timeout; }
    // Sets an open line to new settings where that needs no reopening: a
    // telnet server is asked on the open connection, since a new one would make
    // it close and reopen its device (and refuse us while it does). False when
    // the line must be reopened instead.
    bool ChangeLineInPlace(const LineSettings& line);
    // Starts the monitor thread for an open port.
    bool StartMonitor();
    // Bytes that follow a delivery within `span` wait for the rest of it, so that a
    // streaming sensor wakes the owner about once a span instead of once a frame.
    // Off (zero) by default: a block waiting out its span when a stop comes is
    // dropped, and a poller that wants each reply at once pays the span per reply.
    void SetGatherSpan(std::chrono::milliseconds span) {
        gatherMs_.store(static_cast<int>(span.count()));
    }
    // How many requests may await their replies at once, from the next Open:
    // more than one only where the transport tells replies apart by request
    // (Modbus TCP). The mailbox keeps that many of the newest.
    void SetWindow(size_t requests) { window_ = std::max<size_t>(requests, 1); }
    // A mailbox of one slot, or of the window's: a block beyond it that the
    // monitor has not taken yet is dropped, oldest first. On a connection the
    // blocks also wait while the ones before are unacknowledged, so a stalled
    // path never gets a pile of requests to send back to back.
    void QueueWrite(const uint8_t* block, uint32_t n) override;
    // Stops the monitor and releases the port. Safe when nothing is open, and
    // safe from inside DeliverBytes.
    void Close();

    // UI thread: hands a block waiting in the delivery slot to the owner. Returns
    // whether it delivered one.
    bool ServiceDeliveries();

    // Read on the UI thread at each delivery; Tarq when unset.
    void SetProtocolSelector(std::function<int()> selector) { selector_ = std::move(selector); }

    // The port is held and usable (not closed, not failed).
    bool IsOpen() const;
    // A fatal line error has put the channel out of use until Close.
    bool HasFailed() const;
    // Why it failed, while HasFailed(); `removed` says whether the device's
    // name is gone from the system now.
    LinkLoss Loss() const;
    bool MonitorAlive() const { return monitorAlive_.load() != 0; }
    uint32_t PortNumber() const { return portnr_; }
    // Where a port's baud rate and parity take effect.
    enum class LineReach {
        Local,   // a tty: set here
        Remote,  // a telnet server sets its own port to them
        Fixed,   // a raw or Modbus TCP converter keeps its own settings
    };
    LineReach ReachOf(uint32_t portnr) const;
    // errno of the last failed Open, 0 after a successful one.
    int LastOpenError() const { return lastOpenError_; }
    // Why the last Open failed when the system's text for LastOpenError() does
    // not say it (a ports file holding a malformed address, a host name that
    // does not resolve); "" otherwise.
    const std::string& OpenFailureNote() const { return openFailureNote_; }
    const std::string& DevicePath() const { return devicePath_; }
    // Which device a port number is, for the operator.
    std::string DescribePort(uint32_t portnr) const {
        return ports_.Describe(static_cast<int>(portnr), *fs_);
    }
    // The line settings the device holds now, as the driver reports them. The
    // port is opened for exclusive use, so nobody else (but root) can look.
    bool DeviceTermios(struct termios& out) const;
    // Bytes the driver has received and nobody has read yet; -1 when closed.
    int DeviceQueuedBytes() const;
    // On a line whose wire framing differs from its frames (Modbus TCP): the
    // bytes as they went on the wire since the last call, as "Tx: " and "Rx: "
    // lines of "%02x " bytes, appended to `text`. False on any other line.
    bool TakeWireTraffic(std::string& text);

private:
    enum class Handle { None, Open, Invalid };
    enum class Slot { Empty, Filled, InDelivery };

    void StopMonitor();
    void MonitorThread();
    // Returns false once the port has failed or a stop was requested.
    bool DrainInput();
    // False when the request waits for the line to take the one before it.
    bool FlushWrite();
    // Writes all of `wire`, waiting for room but never past a stop.
    void WriteWire(const std::vector<uint8_t>& wire);
    // Shows what the far end's codec has to say, once.
    void TellNotice();
    bool Deliver(std::vector<uint8_t> block, uint32_t count);
    void WaitForStopOnly();
    bool StopRequested() const { return stopRequested_.load(); }

    // errno -> the device or the connection gone, or a bad descriptor: out of
    // use without a box, the owner reads Loss() and tells the operator; anything
    // else: the "WARNING:" box, and out of use when `fatal`. `closed`: the far end
    // of a connection closed it (no errno).
    void LineFailure(int err, const char* call, bool fatal, bool closed = false);
    void ReportApiFailure(const char* call, int err);
    // Out of use until Close, for the reason kept for Loss().
    void MarkInvalid(int err, bool closed = false);
    // Closes the descriptor (lock held) and leaves the handle in `next`.
    void ReleaseDevice(Handle next);
    void Show(const std::string& text, const std::string& caption);
    // Monitor thread: keeps the wire's bytes for TakeWireTraffic.
    void EchoWire(const char* prefix, const uint8_t* bytes, size_t count);

    PortMap ports_;
    std::shared_ptr<const PortFileSystem> fs_;
    std::function<int()> selector_;

    std::thread monitor_;
    std::atomic<int> monitorAlive_{0};
    std::atomic<bool> stopRequested_{false};
    std::atomic<int> gatherMs_{0};
    int stopFd_ = -1;
    int writeFd_ = -1;

    // Guards the port state and the write slot between the UI thread and the monitor.
    mutable std::recursive_mutex channelLock_;
    // The open line's backend; kept (its descriptor closed) until the next
    // Open or Close, so the monitor never holds a dangling one.
    std::unique_ptr<LineBackend> line_;
    Handle handle_ = Handle::None;
    std::deque<std::vector<uint8_t>> writeQueue_;
    size_t window_ = 1;
    // Monitor thread only: a request waits for the line, and the last bytes
    // received, where a server's parting words are found.
    bool writeHeld_ = false;
    // Line settings for the far end, handed to the monitor with the write event.
    bool lineRequested_ = false;
    LineSettings requestedLine_;
    std::vector<uint8_t> tail_;

    SerialOwner* owner_ = nullptr;
    uint32_t portnr_ = 0;
    std::string devicePath_;
    int lastOpenError_ = 0;
    std::string openFailureNote_;
    std::chrono::milliseconds connectTimeout_{TcpLine::kConnectTimeout};
    LinkLoss loss_;
    std::atomic<bool> reframes_{false};
    std::mutex wireMutex_;
    std::string wireText_;

    // The delivery hand-off: one block in flight between the monitor and the UI thread.
    std::mutex deliveryMutex_;
    std::condition_variable deliveryCv_;
    Slot slot_ = Slot::Empty;
    std::vector<uint8_t> block_;
    RxBlockInfo blockInfo_;
};

// The "WARNING:" box text, cut to 199 characters as the original dialog did.
std::string FormatApiFailure(const char* call, const std::string& systemText, uint32_t portnr);
