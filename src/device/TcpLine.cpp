#include "TcpLine.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "SystemCalls.h"

namespace {

// getaddrinfo speaks its own error codes; the channel reports errno values.
int LookupErrno(int gai) {
    if (gai == EAI_SYSTEM) return errno;
    if (gai == EAI_MEMORY) return ENOMEM;
    return EHOSTUNREACH;
}

void SetOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// Waits for a non-blocking connect to finish; 0 or an errno value.
int FinishConnect(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd p{fd, POLLOUT, 0};
        const int r = RetryEintr([&] { return ::poll(&p, 1, static_cast<int>(left.count())); });
        if (r < 0) return errno;
        if (r == 0) return ETIMEDOUT;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
        return err;
    }
}

}  // namespace

int TcpLine::Connect(const TcpAddress& address, std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int gai = ::getaddrinfo(address.host.c_str(), address.service.c_str(), &hints, &found);
    if (gai != 0) {
        errno = LookupErrno(gai);
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int err = EHOSTUNREACH;
    int fd = -1;
    // A name may stand for several addresses (IPv6 and IPv4): the first that answers wins.
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            err = errno;
            continue;
        }
        int r = ::connect(s, a->ai_addr, a->ai_addrlen);
        // An interrupted non-blocking connect goes on in the background, like one in progress.
        if (r != 0 && (errno == EINPROGRESS || errno == EINTR))
            r = FinishConnect(s, deadline);
        else if (r != 0)
            r = errno;
        if (r != 0) {
            err = r;
            ::close(s);
            continue;
        }
        fd = s;
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        errno = err;
        return -1;
    }
    // Requests are a few bytes each and wait for their reply: send them at once.
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    // A converter that loses power sends nothing; without keepalive the
    // connection would look idle but healthy for hours.
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepProbes);
    return fd;
}

bool TcpLine::PeerGone(int err) {
    return err == ECONNRESET || err == EPIPE || err == ETIMEDOUT || err == EHOSTUNREACH ||
           err == ENETUNREACH || err == ENOTCONN;
}
