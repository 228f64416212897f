#include "ServiceNotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "SystemCalls.h"

namespace {

std::string TakeVariable(const char* name) {
    const char* value = std::getenv(name);
    std::string taken = value ? value : "";
    ::unsetenv(name);
    return taken;
}

// A notice must be one line per field: a status never breaks the protocol.
std::string StatusLine(const std::string& status) {
    std::string line = status;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return "STATUS=" + line;
}

}  // namespace

ServiceNotify ServiceNotify::FromEnvironment(Tell tell) {
    const std::string socket = TakeVariable("NOTIFY_SOCKET");
    const std::string usec = TakeVariable("WATCHDOG_USEC");
    const std::string pid = TakeVariable("WATCHDOG_PID");
    std::chrono::microseconds watchdog{0};
    char* end = nullptr;
    errno = 0;
    const unsigned long long n = std::strtoull(usec.c_str(), &end, 10);
    // The watchdog is another process's when WATCHDOG_PID names one.
    const bool ours = pid.empty() || pid == std::to_string(::getpid());
    if (!usec.empty() && *end == '\0' && errno == 0 && n > 0 && ours)
        watchdog = std::chrono::microseconds(n);
    return ServiceNotify(socket, watchdog, std::move(tell));
}

ServiceNotify::ServiceNotify(std::string socket, std::chrono::microseconds watchdog, Tell tell)
    : socket_(std::move(socket)), tell_(std::move(tell)) {
    // Only a path or an abstract name is an address here.
    if (!socket_.empty() && socket_.front() != '/' && socket_.front() != '@') socket_.clear();
    if (!socket_.empty() && watchdog.count() > 0) {
        every_ = std::chrono::duration_cast<SteadyClock::duration>(watchdog) / 2;
        due_ = SteadyClock::time_point::min();
    }
}

ServiceNotify::~ServiceNotify() {
    if (fd_ >= 0) ::close(fd_);
}

ServiceNotify::ServiceNotify(ServiceNotify&& other) noexcept
    : socket_(std::move(other.socket_)),
      every_(other.every_),
      due_(other.due_),
      tell_(std::move(other.tell_)),
      fd_(other.fd_),
      told_(other.told_) {
    other.fd_ = -1;
}

void ServiceNotify::Ready(const std::string& status) {
    Send("READY=1\n" + StatusLine(status));
}

void ServiceNotify::Status(const std::string& status) {
    Send(StatusLine(status));
}

void ServiceNotify::Alive(SteadyClock::time_point now) {
    if (!due_ || now < *due_) return;
    Send("WATCHDOG=1");
    due_ = now + every_;
}

std::optional<ServiceNotify::SteadyClock::time_point> ServiceNotify::NextDue() const {
    return due_;
}

void ServiceNotify::Stopping() {
    Send("STOPPING=1");
    // Ending may take a while (the feed's last rows); the watchdog is not asked to wait.
    due_.reset();
}

void ServiceNotify::Send(const std::string& message) {
    if (socket_.empty()) return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_.size() >= sizeof address.sun_path) {
        if (!told_ && tell_) tell_("NOTIFY_SOCKET: '" + socket_ + "' is too long for a socket");
        told_ = true;
        return;
    }
    std::memcpy(address.sun_path, socket_.data(), socket_.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socket_.size());
    if (socket_.front() == '@') {
        address.sun_path[0] = '\0';  // abstract: the name's bytes only, no terminating zero
    } else {
        ++length;
    }
    if (fd_ < 0) fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const ssize_t sent = fd_ < 0 ? -1 : RetryEintr([&] {
        return ::sendto(fd_, message.data(), message.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&address), length);
    });
    if (sent < 0 && !told_) {
        told_ = true;
        if (tell_) tell_("cannot tell the service manager (" + socket_ + "): " + SystemText(errno));
    }
}
