#include "TcpLine.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "SystemCalls.h"

namespace {

void SetOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// One lookup, shared by the thread that asks the resolver and the caller that
// waits for it: whichever lets go last frees it.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int gai = 0;
    int err = 0;
    addrinfo* found = nullptr;
    ~Lookup() {
        if (found) ::freeaddrinfo(found);
    }
};

// getaddrinfo may wait for a name server far longer than any connect, and
// cannot be interrupted: a name is looked up on a thread of its own, which the
// caller leaves behind at the deadline. Addresses written as numbers need no
// server and are taken at once.
int Resolve(const TcpAddress& address, std::chrono::steady_clock::time_point deadline,
            addrinfo*& out, std::string& failure) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(address.host.c_str(), address.service.c_str(), &hints, &out) == 0) return 0;

    hints.ai_flags = AI_NUMERICSERV;
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, hints, host = address.host, service = address.service] {
        addrinfo* found = nullptr;
        const int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        const int err = errno;
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->gai = gai;
        lookup->err = err;
        lookup->found = found;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; })) {
        failure = "cannot resolve " + address.host + ": no answer from the resolver";
        return ETIMEDOUT;
    }
    if (lookup->gai == 0) {
        out = std::exchange(lookup->found, nullptr);
        return 0;
    }
    const bool system = lookup->gai == EAI_SYSTEM && lookup->err != 0;
    failure = "cannot resolve " + address.host + ": " +
              (system ? SystemText(lookup->err) : ::gai_strerror(lookup->gai));
    if (system) return lookup->err;
    return lookup->gai == EAI_AGAIN ? ETIMEDOUT : lookup->gai == EAI_MEMORY ? ENOMEM : ENXIO;
}

// Waits for a non-blocking connect to finish; 0 or an errno value.
int FinishConnect(int fd, std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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

}  // namespace

int TcpLine::Connect(const TcpAddress& address, std::chrono::milliseconds timeout,
                     std::string* failure) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    addrinfo* found = nullptr;
    std::string unresolved;
    const int lookupError = Resolve(address, deadline, found, unresolved);
    if (lookupError != 0) {
        if (failure) *failure = unresolved;
        errno = lookupError;
        return -1;
    }
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
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUserTimeout.count()));
    return fd;
}

bool TcpLine::PeerGone(int err) {
    return err == ECONNRESET || err == EPIPE || err == ETIMEDOUT || err == EHOSTUNREACH ||
           err == ENETUNREACH || err == ENOTCONN;
}
