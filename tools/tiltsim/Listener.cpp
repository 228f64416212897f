#include "Listener.h"

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waiting clients beyond the one served.
constexpr int kListenBacklog = 4;

}  // namespace

bool Listener::Open(const ListenAddress& at, std::string& why) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(at.port);
    const int failed = getaddrinfo(at.host.c_str(), service.c_str(), &hints, &found);
    if (failed != 0) {
        why = "cannot resolve " + at.host + ": " +
              (failed == EAI_SYSTEM ? strerror(errno) : gai_strerror(failed));
        return false;
    }
    // The first address of the name that takes us, as a server bound to a name does.
    int error = 0;
    for (const addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
        fd_ = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) {
            error = errno;
            continue;
        }
        const int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd_, a->ai_addr, a->ai_addrlen) != 0 || listen(fd_, kListenBacklog) != 0) {
            error = errno;
            Close();
        }
    }
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        why = strerror(fd_ < 0 ? error : errno);
        Close();
        return false;
    }
    port_ =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    return true;
}

void Listener::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

int Listener::Accept() const {
    const int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return -1;
    // Paced bytes go out one or two at a time; do not let them wait for company.
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}
