#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "ChunkSink.h"

// The recorder's chunks to a descriptor (standard output) instead of a file.
// A stream never rotates, and once a write has failed it takes nothing more:
// half a chunk may already be out, so a retry could only repeat or tear rows.
class StreamSink : public ChunkSink {
public:
    // `onFailed` runs once, on the writer thread, when a write first fails.
    StreamSink(int fd, std::function<void()> onFailed);

    bool FileSize(const std::string& path, uint64_t& size) override;
    AppendResult Append(const std::string& path, std::string_view data) override;
    bool MakeFolder(const std::string& folder) override;

    // errno of the failed write, 0 while all is well. EPIPE: the reader went away.
    int Error() const { return error_.load(); }

private:
    int fd_;
    std::function<void()> onFailed_;
    std::atomic<int> error_{0};
};
