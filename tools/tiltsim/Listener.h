#pragma once

#include <cstdint>
#include <string>

#include "ListenAddress.h"

// Where a client connects to the served line, as to an RS-485-to-Ethernet
// converter: one listening socket, closed with the object.
class Listener {
public:
    Listener() = default;
    ~Listener() { Close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // False with `why` (the resolver's or the system's reason) when `at` cannot
    // be listened on.
    bool Open(const ListenAddress& at, std::string& why);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // The port bound: the one the system chose when 0 was asked for.
    uint16_t Port() const { return port_; }
    // The next client's socket, non-blocking; -1 when it left before we took it.
    int Accept() const;

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};
