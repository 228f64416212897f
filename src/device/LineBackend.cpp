#include "LineBackend.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "SystemCalls.h"
#include "TcpLine.h"

namespace {

// A pseudo-terminal has no parity bit: the kernel clears PARENB, and the C
// library reports that as EINVAL although every other setting took. Real
// UARTs keep it, so only a pty is let off.
bool OnlyParityDropped(int fd, const termios& wanted) {
    if (errno != EINVAL) return false;
    struct stat st {};
    termios now{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || major(st.st_rdev) < 136 ||
        major(st.st_rdev) > 143 || ::tcgetattr(fd, &now) != 0)
        return false;
    return (now.c_cflag | PARENB) == wanted.c_cflag && now.c_iflag == wanted.c_iflag &&
           cfgetospeed(&now) == cfgetospeed(&wanted);
}

class TtyBackend : public LineBackend {
public:
    explicit TtyBackend(std::string path) : LineBackend(MakeTtyCodec()), path_(std::move(path)) {}
    ~TtyBackend() override { Close(); }

    bool Open(const LineSettings& line, const Report& report) override {
        const int fd = RetryEintr(
            [&] { return ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
        if (fd < 0) return false;
        // Exclusive use. TIOCEXCL keeps other programs out (root is exempt from it);
        // the advisory lock also stops a second Tiltscope or tiltlog, root or not.
        if (RetryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
            const int err = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            errno = err;
            return false;
        }
        ::ioctl(fd, TIOCEXCL);
        fd_ = fd;
        termios current{};
        termios wanted{};
        if (::tcgetattr(fd, &current) != 0) {
            report("GetCommState()", errno);
        } else if (!BuildTermios(current, line, wanted)) {
            report("SetCommState()", EINVAL);
        } else if (RetryEintr([&] { return ::tcsetattr(fd, TCSANOW, &wanted); }) != 0 &&
                   !OnlyParityDropped(fd, wanted)) {
            report("SetCommState()", errno);
        } else {
            // Many RS-485 adapters power their driver from RTS; a pty has no modem
            // lines, which is no error.
            const int rts = TIOCM_RTS;
            ::ioctl(fd, TIOCMBIS, &rts);
        }
        ::tcflush(fd, TCIOFLUSH);
        return true;
    }
    void Close() override {
        if (fd_ < 0) return;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    void DiscardStale() override { ::tcflush(fd_, TCIOFLUSH); }
    void DiscardUnsent() override { ::tcflush(fd_, TCOFLUSH); }
    bool Gone(int err) const override {
        // A pulled USB adapter makes every call fail with one of these.
        return err == EIO || err == ENXIO || err == ENODEV;
    }

private:
    std::string path_;
};

class SocketBackend : public LineBackend {
public:
    SocketBackend(const TcpAddress& address, std::chrono::milliseconds timeout)
        : LineBackend(MakeLineCodec(address.scheme, address.unit)),
          address_(address),
          timeout_(timeout) {}
    ~SocketBackend() override { Close(); }

    bool Open(const LineSettings& line, const Report& report) override {
        openFailure_.clear();
        fd_ = TcpLine::Connect(address_, timeout_, &openFailure_);
        if (fd_ < 0) return false;
        // A server that sets its port from ours is told the operator's line now.
        std::vector<uint8_t> wire;
        if (Codec().LineRequest(line, wire) && Write(wire.data(), wire.size()) < 0)
            report("SetCommState()", errno);
        return true;
    }
    void Close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int Unsent() const override {
        // Sent but not acknowledged counts too: a stalled path holds it there.
        int unsent = 0;
        return ::ioctl(fd_, SIOCOUTQ, &unsent) == 0 ? unsent : 0;
    }
    bool ReadTellsEnd() const override { return true; }
    void AfterRead() override {
        // Acknowledge at once: a server with Nagle's algorithm on holds the rest
        // of a reply until its first piece is acknowledged, and a delayed
        // acknowledgement would add up to 40 ms to every request.
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    }
    ssize_t Write(const uint8_t* bytes, size_t count) override {
        // A closed peer must give EPIPE, not a SIGPIPE that ends the program.
        return RetryEintr([&] { return ::send(fd_, bytes, count, MSG_NOSIGNAL); });
    }
    bool Gone(int err) const override { return TcpLine::PeerGone(err); }
    bool Network() const override { return true; }
    LineNotice TakeNotice() override {
        LineNotice notice = LineBackend::TakeNotice();
        // The raw codec names the scheme to use; the address is ours to add.
        const bool v6 = address_.host.find(':') != std::string::npos;
        const std::string where =
            (v6 ? "[" + address_.host + "]" : address_.host) + ":" + address_.service;
        for (std::string* text : {&notice.english, &notice.chinese}) {
            if (text->size() > 3 && text->compare(text->size() - 3, 3, "://") == 0) *text += where;
        }
        return notice;
    }

private:
    TcpAddress address_;
    std::chrono::milliseconds timeout_;
};

}  // namespace

ssize_t LineBackend::Write(const uint8_t* bytes, size_t count) {
    return RetryEintr([&] { return ::write(fd_, bytes, count); });
}

std::unique_ptr<LineBackend> MakeLineBackend(const std::string& devicePath,
                                             const std::string& server,
                                             std::chrono::milliseconds connectTimeout) {
    TcpAddress address;
    if (!server.empty() && TcpAddress::Parse(server, address))
        return std::make_unique<SocketBackend>(address, connectTimeout);
    return std::make_unique<TtyBackend>(devicePath);
}
