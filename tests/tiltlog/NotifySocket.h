#pragma once

#include <string>
#include <vector>

// The service manager's end of its notification protocol: a datagram socket
// bound at a path or, for a name beginning with '@', in the abstract namespace.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& name);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool Bound() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }
    // The notices that have arrived so far, without waiting.
    std::vector<std::string> Take();

private:
    std::string name_;
    int fd_ = -1;
};
