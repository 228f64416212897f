#include "Serialport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "SystemCalls.h"

namespace {

// How long a block waits for the UI thread before it is announced again.
constexpr std::chrono::milliseconds kRewakeAfter{50};

// The read that asks a socket with nothing queued whether it is still there.
constexpr int kSocketProbeBytes = 256;

// How often a request held for an unacknowledged one looks at the line again.
constexpr std::chrono::milliseconds kHeldWriteRecheck{10};

// The last bytes received that are kept for a server's parting words.
constexpr size_t kTailBytes = 256;

void Signal(int fd) {
    const uint64_t one = 1;
    RetryEintr([&] { return ::write(fd, &one, sizeof one); });
}

void Reset(int fd) {
    // Non-blocking eventfd: one read takes the counter back to zero.
    uint64_t value = 0;
    RetryEintr([&] { return ::read(fd, &value, sizeof value); });
}

// A pulled USB adapter makes every call fail with one of these.
bool AdapterGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

}  // namespace

std::string FormatApiFailure(const char* call, const std::string& systemText, uint32_t portnr) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "WARNING:  %s Failed with the following error: \n%s\nPort: %u\n", call,
                  systemText.c_str(), portnr);
    std::string result(text);
    if (result.size() > 199) {
        // Cut at a character boundary: a localised system text may be UTF-8.
        size_t cut = 199;
        while (cut > 0 && (static_cast<unsigned char>(result[cut]) & 0xC0) == 0x80) --cut;
        result.resize(cut);
    }
    return result;
}

CSerialPort::CSerialPort(PortMap ports, std::shared_ptr<const PortFileSystem> fs)
    : ports_(std::move(ports)), fs_(std::move(fs)) {
    if (!fs_) fs_ = std::make_shared<PosixPortFileSystem>();
}

CSerialPort::~CSerialPort() {
    Close();
    if (stopFd_ >= 0) ::close(stopFd_);
    if (writeFd_ >= 0) ::close(writeFd_);
}

bool CSerialPort::IsOpen() const {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    return handle_ == Handle::Open;
}

bool CSerialPort::HasFailed() const {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    return handle_ == Handle::Invalid;
}

LinkLoss CSerialPort::Loss() const {
    LinkLoss loss;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        loss = loss_;
    }
    if (!loss.server) loss.removed = !fs_->Exists(devicePath_);
    return loss;
}

bool CSerialPort::Open(SerialOwner* owner, const LineSettings& line) {
    if (!owner || line.portnr < 1 || line.portnr >= static_cast<uint32_t>(kMaxSerialPortNum)) {
        lastOpenError_ = EINVAL;
        return false;
    }
    StopMonitor();

    for (int* fd : {&stopFd_, &writeFd_}) {
        if (*fd < 0)
            *fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        else
            Reset(*fd);
    }
    owner_ = owner;
    portnr_ = line.portnr;

    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    writeQueue_.clear();
    writeHeld_ = false;
    lineRequested_ = false;
    tail_.clear();
    ReleaseDevice(Handle::None);
    loss_ = LinkLoss{};

    devicePath_ = ports_.DevicePath(static_cast<int>(line.portnr), *fs_);
    openFailureNote_.clear();
    // Text written as a network address is never opened as a file.
    if (ports_.MalformedAddress(static_cast<int>(line.portnr), *fs_, openFailureNote_)) {
        lastOpenError_ = EINVAL;
        return false;
    }
    line_ = MakeLineBackend(devicePath_, ports_.ServerAddress(static_cast<int>(line.portnr), *fs_),
                            connectTimeout_);
    // Marked open before the settings are applied, so a step that fails is
    // reported and leaves the line open.
    if (!line_->Open(line, [this](const char* call, int err) {
            handle_ = Handle::Open;
            ReportApiFailure(call, err);
        })) {
        openFailureNote_ = line_->OpenFailure();
        lastOpenError_ = errno;
        line_.reset();
        handle_ = Handle::None;
        return false;
    }
    handle_ = Handle::Open;
    lastOpenError_ = 0;
    reframes_.store(line_->Codec().Reframes());
    line_->Codec().SetWindow(window_);
    return true;
}

bool CSerialPort::TakeWireTraffic(std::string& text) {
    if (!reframes_.load()) return false;
    std::lock_guard<std::mutex> lock(wireMutex_);
    text += wireText_;
    wireText_.clear();
    return true;
}

void CSerialPort::EchoWire(const char* prefix, const uint8_t* bytes, size_t count) {
    if (!reframes_.load() || count == 0) return;
    std::string line = prefix;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
        line += hex;
    }
    line += "\r\n";
    std::lock_guard<std::mutex> lock(wireMutex_);
    // Nobody may take it for a while: the newest part is what a pane would keep.
    if (wireText_.size() > 2 * kTrafficPaneLimit) wireText_.erase(0, wireText_.size() / 2);
    wireText_ += line;
}

bool CSerialPort::ChangeLineInPlace(const LineSettings& line) {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    if (handle_ != Handle::Open || line.portnr != portnr_ ||
        ReachOf(line.portnr) != LineReach::Remote || !monitor_.joinable())
        return false;
    // The codec belongs to the monitor: it builds the request there.
    requestedLine_ = line;
    lineRequested_ = true;
    Signal(writeFd_);
    return true;
}

CSerialPort::LineReach CSerialPort::ReachOf(uint32_t portnr) const {
    TcpAddress address;
    if (!TcpAddress::Parse(ports_.ServerAddress(static_cast<int>(portnr), *fs_), address))
        return LineReach::Local;
    return address.scheme == LinkScheme::Rfc2217 ? LineReach::Remote : LineReach::Fixed;
}

bool CSerialPort::StartMonitor() {
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        if (handle_ != Handle::Open || stopFd_ < 0 || monitor_.joinable()) return false;
        // Whatever arrived before anyone listened is stale. Purged here rather than
        // in the new thread, so that nothing sent after StartMonitor returns is lost.
        line_->DiscardStale();
    }
    stopRequested_.store(false);
    {
        std::lock_guard<std::mutex> lock(deliveryMutex_);
        // A block abandoned by an earlier monitor still inside a delivery stays
        // with that delivery; only a filled, unclaimed one is stale.
        if (slot_ == Slot::Filled) slot_ = Slot::Empty;
    }
    monitorAlive_.store(1);
    monitor_ = std::thread(&CSerialPort::MonitorThread, this);
    return true;
}

void CSerialPort::QueueWrite(const uint8_t* block, uint32_t n) {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    if (handle_ != Handle::Open || writeFd_ < 0 || !block) return;
    if (n > kWriteSlotSize) n = kWriteSlotSize;
    writeQueue_.emplace_back(block, block + n);
    if (writeQueue_.size() > window_) writeQueue_.pop_front();
    Signal(writeFd_);
}

void CSerialPort::StopMonitor() {
    if (!monitor_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(deliveryMutex_);
        stopRequested_.store(true);
    }
    deliveryCv_.notify_all();
    Signal(stopFd_);
    // The monitor gives up a delivery the UI thread has not taken when a stop is
    // requested, so this join cannot wait on ourselves, even from inside DeliverBytes.
    monitor_.join();
}

void CSerialPort::Close() {
    StopMonitor();
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    ReleaseDevice(Handle::None);
    if (stopFd_ >= 0) Reset(stopFd_);
    if (writeFd_ >= 0) Reset(writeFd_);
    writeQueue_.clear();
}

bool CSerialPort::ServiceDeliveries() {
    std::unique_lock<std::mutex> lock(deliveryMutex_);
    if (slot_ != Slot::Filled || StopRequested()) return false;
    std::vector<uint8_t> block = std::move(block_);
    const RxBlockInfo info = blockInfo_;
    slot_ = Slot::InDelivery;
    lock.unlock();

    const int message = selector_ && selector_() == kProtocolModbus ? MSG_RX_MODBUS : MSG_RX_TARQ;
    owner_->DeliverBytes(message, block.data(), info);

    lock.lock();
    slot_ = Slot::Empty;
    lock.unlock();
    deliveryCv_.notify_all();
    return true;
}

bool CSerialPort::Deliver(std::vector<uint8_t> block, uint32_t count) {
    std::unique_lock<std::mutex> lock(deliveryMutex_);
    // A delivery of an earlier monitor may still be running (Open from inside DeliverBytes).
    deliveryCv_.wait(lock, [&] { return slot_ == Slot::Empty || StopRequested(); });
    if (StopRequested()) return false;
    block_ = std::move(block);
    blockInfo_ = RxBlockInfo{portnr_, count};
    slot_ = Slot::Filled;
    lock.unlock();
    owner_->WakeUiThread();
    lock.lock();
    // A wake can sit unseen in the owner's queue: an event loop nested inside the
    // handling of queued calls (a box held open) takes queued calls only after
    // something new is queued. Waking again while the block waits keeps it moving.
    while (!deliveryCv_.wait_for(lock, kRewakeAfter,
                                 [&] { return slot_ != Slot::Filled || StopRequested(); })) {
        lock.unlock();
        owner_->WakeUiThread();
        lock.lock();
    }
    deliveryCv_.wait(lock, [&] { return slot_ == Slot::Empty || StopRequested(); });
    if (slot_ == Slot::Filled) {
        // Stopped before the UI thread claimed it: the port is closing, drop it.
        slot_ = Slot::Empty;
        block_.clear();
    }
    return !StopRequested();
}

void CSerialPort::MonitorThread() {
    int fd;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        fd = line_->Fd();
    }
    auto lastDrain = std::chrono::steady_clock::time_point{};
    for (;;) {
        if (HasFailed()) {
            WaitForStopOnly();
            break;
        }
        pollfd fds[3] = {{stopFd_, POLLIN, 0}, {writeFd_, POLLIN, 0}, {fd, POLLIN, 0}};
        // A held request looks again soon: no event says the line has taken the last.
        const int wait = writeHeld_ ? static_cast<int>(kHeldWriteRecheck.count()) : -1;
        const int r = RetryEintr([&] { return ::poll(fds, 3, wait); });
        if (r < 0) {
            Show("Receive Error!", "COM Receive Error");
            // Nothing to learn from trying again at once: wait for the stop.
            WaitForStopOnly();
            break;
        }
        // Fixed priority: a stop beats a queued write, a write beats received data.
        if (fds[0].revents & POLLIN) break;
        if ((fds[1].revents & POLLIN) || (r == 0 && writeHeld_)) {
            writeHeld_ = !FlushWrite();
            continue;
        }
        const short ev = fds[2].revents;
        if (ev & POLLNVAL) {
            MarkInvalid(EBADF);  // the descriptor itself is gone: silent, as an invalid handle
            continue;
        }
        if (ev & (POLLIN | POLLHUP | POLLERR)) {
            // A sensor in automatic output sends a frame every fraction of a
            // millisecond: with a gather span, bytes that follow a delivery closely
            // wait for the rest of it, so one delivery carries several frames.
            // Bytes after a quiet spell, a reply among them, go at once; a stop
            // or a write still ends the wait.
            const auto now = std::chrono::steady_clock::now();
            const std::chrono::milliseconds span{gatherMs_.load()};
            if (!(ev & (POLLHUP | POLLERR)) && now < lastDrain + span) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(lastDrain + span - now);
                pollfd wake[2] = {{stopFd_, POLLIN, 0}, {writeFd_, POLLIN, 0}};
                RetryEintr([&] { return ::poll(wake, 2, static_cast<int>(left.count())); });
                if (wake[0].revents & POLLIN) break;
                if (wake[1].revents & POLLIN) writeHeld_ = !FlushWrite();
            }
            const bool drained = DrainInput();
            lastDrain = std::chrono::steady_clock::now();
            if (!drained) continue;
            if (ev & (POLLHUP | POLLERR)) {
                // Nothing left to read and the line has hung up: the adapter is gone.
                LineFailure(EIO, "WaitCommEvent()", true);
            }
        }
    }

    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        // A failed port stays marked failed until Close, which the owner will call.
        if (handle_ == Handle::Open) ReleaseDevice(Handle::None);
    }
    monitorAlive_.store(0);
}

void CSerialPort::WaitForStopOnly() {
    pollfd stop{stopFd_, POLLIN, 0};
    while (!StopRequested()) {
        if (RetryEintr([&] { return ::poll(&stop, 1, -1); }) < 0) return;
        if (stop.revents & POLLIN) return;
    }
}

bool CSerialPort::DrainInput() {
    LineBackend* line;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        line = line_.get();
    }
    const int fd = line->Fd();
    while (!StopRequested()) {
        int queued = 0;
        if (::ioctl(fd, FIONREAD, &queued) != 0) {
            LineFailure(errno, "ReadFile()", true);
            return false;
        }
        // A socket whose peer has closed or failed shows nothing queued; only a
        // read tells end of file or the error from the rest.
        if (queued <= 0 && !line->ReadTellsEnd()) return true;
        if (queued <= 0) queued = kSocketProbeBytes;

        std::vector<uint8_t> wire(static_cast<size_t>(queued));
        const ssize_t got = RetryEintr([&] { return ::read(fd, wire.data(), wire.size()); });
        if (got < 0 && errno == EAGAIN) return true;
        if (got <= 0) {
            // End of file on a serial line means it hung up; on a socket, that
            // the server closed the connection: both are a line that is gone.
            // Any other read failure would only repeat on the next wake-up.
            LineFailure(got == 0 ? EIO : errno, "ReadFile()", true, got == 0 && line->Network());
            return false;
        }
        line->AfterRead();
        std::vector<uint8_t> block;
        std::vector<uint8_t> reply;
        line->Codec().Decode(wire.data(), static_cast<size_t>(got), block, reply);
        EchoWire("Rx: ", wire.data(), static_cast<size_t>(got));
        if (!reply.empty()) WriteWire(reply);
        TellNotice();
        tail_.insert(tail_.end(), block.begin(), block.end());
        if (tail_.size() > kTailBytes)
            tail_.erase(tail_.begin(), tail_.end() - static_cast<std::ptrdiff_t>(kTailBytes));
        if (block.empty()) continue;  // the transport's own talk, nothing of the line's
        const auto count = static_cast<uint32_t>(block.size());
        // One spare zero byte after the data, as every receiver has always had.
        block.push_back(0);
        if (!Deliver(std::move(block), count)) return false;
    }
    return false;
}

void CSerialPort::TellNotice() {
    LineBackend* line;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        line = line_.get();
    }
    const LineNotice notice = line->TakeNotice();
    if (!notice.Empty() && owner_) owner_->ShowLineNotice(notice);
}

bool CSerialPort::FlushWrite() {
    std::vector<uint8_t> request;
    std::vector<uint8_t> out;
    LineBackend* line;
    bool held = false;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        Reset(writeFd_);
        line = line_.get();
        if (!line) return true;
        if (lineRequested_) {
            lineRequested_ = false;
            line->Codec().LineRequest(requestedLine_, request);
        }
        // The requests stay in the mailbox, where newer ones replace them.
        held = !writeQueue_.empty() && line->Unsent() > 0;
        if (!held) {
            for (const std::vector<uint8_t>& block : writeQueue_)
                line->Codec().Encode(block.data(), block.size(), out);
            writeQueue_.clear();
        }
    }
    if (!request.empty()) WriteWire(request);
    // A codec may give up waiting for the far end while it encodes.
    TellNotice();
    if (out.empty()) return !held;
    line->DiscardUnsent();
    EchoWire("Tx: ", out.data(), out.size());
    WriteWire(out);
    return true;
}

void CSerialPort::WriteWire(const std::vector<uint8_t>& out) {
    LineBackend* line;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        line = line_.get();
    }
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = line->Write(out.data() + done, out.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            // The driver's buffer is full: wait for room, but never past a stop.
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {line->Fd(), POLLOUT, 0}};
            if (RetryEintr([&] { return ::poll(fds, 2, -1); }) < 0) return;
            if (fds[0].revents & POLLIN) return;
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                LineFailure(EIO, "WriteFile()", true);
                return;
            }
            continue;
        }
        LineFailure(n == 0 ? EIO : errno, "WriteFile()", false);
        return;
    }
}

void CSerialPort::LineFailure(int err, const char* call, bool fatal, bool closed) {
    bool gone;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        gone = line_ && line_->Gone(err);
    }
    // A pulled adapter, a closed terminal or a dropped connection stays so: the
    // owner tells it once, from Loss(), in the operator's terms.
    if (closed || err == EBADF || AdapterGone(err) || gone) {
        MarkInvalid(err, closed);
        return;
    }
    if (fatal) MarkInvalid(err);
    ReportApiFailure(call, err);
}

void CSerialPort::ReportApiFailure(const char* call, int err) {
    Show(FormatApiFailure(call, SystemText(err), portnr_), "Application Error");
}

void CSerialPort::MarkInvalid(int err, bool closed) {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    if (handle_ == Handle::Invalid) return;
    const bool network = line_ && line_->Network();
    loss_ = LinkLoss{closed ? 0 : err, network, false};
    // A device server may say why it gives up before it closes.
    if (network) loss_.words = ServerWords(tail_);
    // Let go of the device now so that the adapter, once plugged back, can be
    // opened again; the monitor only waits for its stop from here on.
    ReleaseDevice(Handle::Invalid);
}

void CSerialPort::ReleaseDevice(Handle next) {
    if (line_) line_->Close();
    // The monitor may still hold the backend: it goes only once no monitor runs.
    if (next == Handle::None && !monitor_.joinable()) line_.reset();
    handle_ = next;
}

void CSerialPort::Show(const std::string& text, const std::string& caption) {
    if (owner_) owner_->ShowPortError(text, caption);
}

bool CSerialPort::DeviceTermios(struct termios& out) const {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    return handle_ == Handle::Open && line_ && ::tcgetattr(line_->Fd(), &out) == 0;
}

int CSerialPort::DeviceQueuedBytes() const {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    int queued = -1;
    if (handle_ != Handle::Open || !line_ || ::ioctl(line_->Fd(), FIONREAD, &queued) != 0)
        return -1;
    return queued;
}
