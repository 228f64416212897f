#include "Listener.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waiting clients beyond the one served.
constexpr int kListenBacklog = 4;

}  // namespace

bool Listener::Open(const ListenAddress& at) {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    const int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(at.port);
    if (inet_pton(AF_INET, at.host.c_str(), &addr.sin_addr) != 1) {
        errno = EINVAL;
        return false;
    }
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd_, kListenBacklog) != 0)
        return false;
    socklen_t size = sizeof addr;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &size) != 0) return false;
    port_ = ntohs(addr.sin_port);
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
