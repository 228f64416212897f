#include "FeedPositionFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "SystemCalls.h"

std::string FeedPositionPath(const std::string& folder, const std::string& prefix) {
    return folder + "/" + prefix + ".mqtt-position";
}

PositionRead ReadFeedPosition(const std::string& path, FeedPosition& position, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return PositionRead::Missing;
        error = "cannot read " + path + ": " + SystemText(errno);
        return PositionRead::Unreadable;
    }
    std::string fileKey, rowsKey, rows, rest;
    std::getline(in, fileKey, ' ');
    std::getline(in, position.file);
    in >> rowsKey >> rows >> rest;
    const bool digits = !rows.empty() && rows.size() <= 19 &&
                        rows.find_first_not_of("0123456789") == std::string::npos;
    if (fileKey != "file" || rowsKey != "rows" || !digits || !rest.empty() ||
        position.file.empty() || position.file.find('/') != std::string::npos) {
        error = path + " is not a feed position";
        return PositionRead::Unreadable;
    }
    position.rows = std::stoull(rows);
    return PositionRead::Read;
}

bool WriteFeedPosition(const std::string& path, const FeedPosition& position, std::string& error) {
    const std::string text =
        "file " + position.file + "\nrows " + std::to_string(position.rows) + "\n";
    const std::string temporary = path + ".new";
    const int fd = RetryEintr(
        [&] { return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); });
    bool ok = fd >= 0;
    if (ok) {
        const ssize_t n = RetryEintr([&] { return ::write(fd, text.data(), text.size()); });
        // On the disk before it takes the old one's place, or a power cut could leave neither.
        ok = n == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
        const int err = errno;
        ::close(fd);
        errno = n >= 0 && n != static_cast<ssize_t>(text.size()) ? ENOSPC : err;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = "cannot write " + path + ": " + SystemText(errno);
    if (fd >= 0) ::unlink(temporary.c_str());
    return false;
}
