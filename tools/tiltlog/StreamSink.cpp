#include "StreamSink.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "SystemCalls.h"

StreamSink::StreamSink(int fd, std::function<void()> onFailed)
    : fd_(fd), onFailed_(std::move(onFailed)) {}

bool StreamSink::FileSize(const std::string&, uint64_t&) {
    return false;
}

bool StreamSink::MakeFolder(const std::string&) {
    return true;
}

AppendResult StreamSink::Append(const std::string&, std::string_view data) {
    if (error_.load() != 0) return AppendResult::WriteFailed;
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            RetryEintr([&] { return ::write(fd_, data.data() + done, data.size() - done); });
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A descriptor inherited non-blocking: wait for the reader.
            pollfd p{fd_, POLLOUT, 0};
            if (RetryEintr([&] { return ::poll(&p, 1, -1); }) >= 0) continue;
        }
        error_.store(n == 0 ? EIO : errno);
        if (onFailed_) onFailed_();
        return AppendResult::WriteFailed;
    }
    return AppendResult::Written;
}
