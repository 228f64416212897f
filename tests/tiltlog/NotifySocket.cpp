#include "NotifySocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

NotifySocket::NotifySocket(const std::string& name) : name_(name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, name.data(), name.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (name.front() == '@')
        address.sun_path[0] = '\0';
    else
        ++length;
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

NotifySocket::~NotifySocket() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty() && name_.front() == '/') ::unlink(name_.c_str());
}

std::vector<std::string> NotifySocket::Take() {
    std::vector<std::string> notices;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0) break;
        notices.emplace_back(buffer, static_cast<size_t>(n));
    }
    return notices;
}
