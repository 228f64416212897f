#pragma once

// Reading and writing the client's end of a line (a pseudo-terminal or a
// socket, opened non-blocking) within a deadline.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

namespace line_end {

using Bytes = std::vector<uint8_t>;

// True once every byte is written, within the deadline.
inline bool WriteAll(int fd, const Bytes& bytes, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    size_t done = 0;
    while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 20);
    }
    return done == bytes.size();
}

// What arrived until `count` bytes, the deadline or the far end's close. With
// `most`, no read takes more than that in all, so later bytes stay for the next call.
inline Bytes ReadBytes(int fd, size_t count, std::chrono::milliseconds limit,
                       size_t most = std::numeric_limits<size_t>::max()) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, most - got.size()));
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
        if (n == 0) break;
    }
    return got;
}

}  // namespace line_end
