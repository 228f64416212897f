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
#include <cstring>

#include "SystemCalls.h"
#include "TcpLine.h"

namespace {

// How long a block waits for the UI thread before it is announced again.
constexpr std::chrono::milliseconds kRewakeAfter{50};

// The read that asks a socket with nothing queued whether it is still there.
constexpr int kSocketProbeBytes = 256;

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
    writeSlot_.assign(kWriteSlotSize, 0);
    bytesToWrite_ = 0;
    ReleaseDevice(Handle::None);
    loss_ = LinkLoss{};

    devicePath_ = ports_.DevicePath(static_cast<int>(line.portnr), *fs_);
    openFailureNote_.clear();
    // Text written as a network address is never opened as a file.
    if (ports_.MalformedAddress(static_cast<int>(line.portnr), *fs_, openFailureNote_)) {
        lastOpenError_ = EINVAL;
        return false;
    }
    const std::string server = ports_.ServerAddress(static_cast<int>(line.portnr), *fs_);
    if (!server.empty()) return OpenServer(server);
    const int fd = RetryEintr(
        [&] { return ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        lastOpenError_ = errno;
        return false;
    }
    // Exclusive use. TIOCEXCL keeps other programs out (root is exempt from it);
    // the advisory lock also stops a second Tiltscope or tiltlog, root or not.
    if (RetryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        lastOpenError_ = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    fd_ = fd;
    handle_ = Handle::Open;
    lastOpenError_ = 0;

    termios current{};
    termios wanted{};
    if (::tcgetattr(fd, &current) != 0) {
        ReportApiFailure("GetCommState()", errno);
    } else if (!BuildTermios(current, line, wanted)) {
        ReportApiFailure("SetCommState()", EINVAL);
    } else if (RetryEintr([&] { return ::tcsetattr(fd, TCSANOW, &wanted); }) != 0) {
        ReportApiFailure("SetCommState()", errno);
    } else {
        // Many RS-485 adapters power their driver from RTS; a pty has no modem
        // lines, which is no error.
        const int rts = TIOCM_RTS;
        ::ioctl(fd, TIOCMBIS, &rts);
    }
    ::tcflush(fd, TCIOFLUSH);
    return true;
}

bool CSerialPort::OpenServer(const std::string& address) {
    TcpAddress parsed;
    TcpAddress::Parse(address, parsed);
    const int fd = TcpLine::Connect(parsed, connectTimeout_, &openFailureNote_);
    if (fd < 0) {
        lastOpenError_ = errno;
        return false;
    }
    // The converter owns baud rate and framing of its RS-485 side; the
    // connection itself has none to set.
    fd_ = fd;
    socket_ = true;
    handle_ = Handle::Open;
    lastOpenError_ = 0;
    return true;
}

bool CSerialPort::StartMonitor() {
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        if (handle_ != Handle::Open || stopFd_ < 0 || monitor_.joinable()) return false;
        // Whatever arrived before anyone listened is stale. Purged here rather than
        // in the new thread, so that nothing sent after StartMonitor returns is lost.
        // A server's bytes are all news: it sends only once connected.
        if (!socket_) ::tcflush(fd_, TCIOFLUSH);
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
    std::memcpy(writeSlot_.data(), block, n);
    bytesToWrite_ = n;
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
    writeSlot_.clear();
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
        fd = fd_;
    }
    auto lastDrain = std::chrono::steady_clock::time_point{};
    for (;;) {
        if (HasFailed()) {
            WaitForStopOnly();
            break;
        }
        pollfd fds[3] = {{stopFd_, POLLIN, 0}, {writeFd_, POLLIN, 0}, {fd, POLLIN, 0}};
        const int r = RetryEintr([&] { return ::poll(fds, 3, -1); });
        if (r < 0) {
            Show("Receive Error!", "COM Receive Error");
            // Nothing to learn from trying again at once: wait for the stop.
            WaitForStopOnly();
            break;
        }
        // Fixed priority: a stop beats a queued write, a write beats received data.
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & POLLIN) {
            FlushWrite();
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
                if (wake[1].revents & POLLIN) FlushWrite();
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
    int fd;
    bool socket;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        fd = fd_;
        socket = socket_;
    }
    while (!StopRequested()) {
        int queued = 0;
        if (::ioctl(fd, FIONREAD, &queued) != 0) {
            LineFailure(errno, "ReadFile()", true);
            return false;
        }
        // A socket whose peer has closed or failed shows nothing queued; only a
        // read tells end of file or the error from the rest.
        if (queued <= 0 && !socket) return true;
        if (queued <= 0) queued = kSocketProbeBytes;

        // One spare zero byte after the data, as every receiver has always had.
        std::vector<uint8_t> block(static_cast<size_t>(queued) + 1, 0);
        const ssize_t got = RetryEintr([&] { return ::read(fd, block.data(), queued); });
        if (got < 0 && errno == EAGAIN) return true;
        if (got <= 0) {
            // End of file on a serial line means it hung up; on a socket, that
            // the server closed the connection: both are a line that is gone.
            // Any other read failure would only repeat on the next wake-up.
            LineFailure(got == 0 ? EIO : errno, "ReadFile()", true, got == 0 && socket);
            return false;
        }
        block.resize(static_cast<size_t>(got) + 1);
        if (!Deliver(std::move(block), static_cast<uint32_t>(got))) return false;
    }
    return false;
}

void CSerialPort::FlushWrite() {
    std::vector<uint8_t> out;
    int fd;
    bool socket;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        out.assign(writeSlot_.begin(), writeSlot_.begin() + bytesToWrite_);
        Reset(writeFd_);
        fd = fd_;
        socket = socket_;
    }
    // A request nobody has sent yet is stale once a newer one is queued.
    if (!socket) ::tcflush(fd, TCOFLUSH);

    size_t done = 0;
    while (done < out.size()) {
        // send() rather than write() on a socket: a closed peer must give EPIPE,
        // not a SIGPIPE that ends the program.
        const ssize_t n = RetryEintr([&] {
            return socket ? ::send(fd, out.data() + done, out.size() - done, MSG_NOSIGNAL)
                          : ::write(fd, out.data() + done, out.size() - done);
        });
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            // The driver's buffer is full: wait for room, but never past a stop.
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd, POLLOUT, 0}};
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
    bool socket;
    {
        std::lock_guard<std::recursive_mutex> lock(channelLock_);
        socket = socket_;
    }
    // A pulled adapter, a closed terminal or a dropped connection stays so: the
    // owner tells it once, from Loss(), in the operator's terms.
    if (closed || err == EBADF || AdapterGone(err) || (socket && TcpLine::PeerGone(err))) {
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
    loss_ = LinkLoss{closed ? 0 : err, socket_, false};
    // Let go of the device now so that the adapter, once plugged back, can be
    // opened again; the monitor only waits for its stop from here on.
    ReleaseDevice(Handle::Invalid);
}

void CSerialPort::ReleaseDevice(Handle next) {
    if (fd_ >= 0) {
        if (!socket_) ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    socket_ = false;
    handle_ = next;
}

void CSerialPort::Show(const std::string& text, const std::string& caption) {
    if (owner_) owner_->ShowPortError(text, caption);
}

bool CSerialPort::DeviceTermios(struct termios& out) const {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    return handle_ == Handle::Open && fd_ >= 0 && ::tcgetattr(fd_, &out) == 0;
}

int CSerialPort::DeviceQueuedBytes() const {
    std::lock_guard<std::recursive_mutex> lock(channelLock_);
    int queued = -1;
    if (handle_ != Handle::Open || fd_ < 0 || ::ioctl(fd_, FIONREAD, &queued) != 0) return -1;
    return queued;
}
