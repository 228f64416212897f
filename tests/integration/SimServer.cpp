#include "SimServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

int BoundSocket(uint16_t port, uint16_t& bound) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    // A server started again on its old port must not wait out TIME_WAIT.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    bound = ntohs(a.sin_port);
    return fd;
}

void Signal(int fd) {
    const uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
}

}  // namespace

SimServer::SimServer(const SimulatorOptions& options, uint16_t port) : sim_(options) {
    listener_ = BoundSocket(port, port_);
    if (listener_ < 0) return;
    ::listen(listener_, 4);
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    drop_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread(&SimServer::Serve, this);
}

SimServer::~SimServer() {
    if (thread_.joinable()) {
        Signal(stop_);
        thread_.join();
    }
    for (int fd : {listener_, stop_, drop_})
        if (fd >= 0) ::close(fd);
}

void SimServer::DropClient() {
    Signal(drop_);
}

uint16_t SimServer::RefusingPort() {
    uint16_t port = 0;
    const int fd = BoundSocket(0, port);
    ::close(fd);
    return port;
}

void SimServer::Serve() {
    const auto start = std::chrono::steady_clock::now();
    int client = -1;
    for (;;) {
        pollfd fds[4] = {
            {stop_, POLLIN, 0}, {drop_, POLLIN, 0}, {listener_, POLLIN, 0}, {client, POLLIN, 0}};
        if (::poll(fds, client >= 0 ? 4 : 3, -1) < 0) continue;
        if (fds[0].revents) break;
        if (fds[1].revents) {
            uint64_t value;
            (void)!::read(drop_, &value, sizeof value);
            if (client >= 0) ::close(client);
            client = -1;
            continue;
        }
        if (fds[2].revents & POLLIN) {
            const int next = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (next >= 0) {
                if (client >= 0) ::close(client);
                client = next;
                ++accepted_;
            }
            continue;
        }
        if (client >= 0 && fds[3].revents) {
            uint8_t buffer[512];
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(client);
                client = -1;
                continue;
            }
            ++requests_;
            const double now =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const std::vector<uint8_t> reply = sim_.OnBytes(buffer, static_cast<size_t>(n), now);
            if (!reply.empty()) (void)!::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
    }
    if (client >= 0) ::close(client);
}
