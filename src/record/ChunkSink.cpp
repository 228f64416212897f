#include "ChunkSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "SystemCalls.h"

namespace {

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    return RetryEintr([&] { return ::open(path, flags, mode); });
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = RetryEintr([&] { return ::write(fd, data, size); });
        if (n <= 0) return false;  // no progress and no error: do not spin
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SyncRetrying(int fd) {
    return RetryEintr([&] { return ::fsync(fd); }) == 0;
}

bool TruncateRetrying(int fd, off_t size) {
    return RetryEintr([&] { return ::ftruncate(fd, size); }) == 0;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A new file's name lives in its folder: without this, a power cut right after
// the first chunk can leave the data on the disk but no name pointing at it.
void SyncFolderOf(const std::string& path) {
    const int dir = OpenRetrying(ParentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    SyncRetrying(dir);
    ::close(dir);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool PosixChunkSink::FileSize(const std::string& path, uint64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

AppendResult PosixChunkSink::Append(const std::string& path, std::string_view data) {
    return Write(path, data, false);
}

AppendResult PosixChunkSink::Create(const std::string& path, std::string_view data) {
    return Write(path, data, true);
}

AppendResult PosixChunkSink::Write(const std::string& path, std::string_view data,
                                   bool mustCreate) {
    // Never through a link: the data folder may be one others can write to.
    const int appendFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW;
    // O_EXCL first, so that we know whether a failed chunk left a file of ours behind.
    bool created = true;
    int fd = OpenRetrying(path.c_str(), appendFlags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = OpenRetrying(path.c_str(), appendFlags);
        // A link planted at the name is never followed (ELOOP). For a name the
        // recording has not written yet, an existing file is taken only if it
        // is a plain file of our own (a recording earlier in the same second).
        if (fd < 0 && errno == ELOOP) {
            lastError_ = ELOOP;
            return AppendResult::NameTaken;
        }
        struct stat st {};
        if (fd >= 0 && mustCreate &&
            (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
            ::close(fd);
            lastError_ = EEXIST;
            return AppendResult::NameTaken;
        }
    }
    if (fd < 0) {
        lastError_ = errno;
        return AppendResult::OpenFailed;
    }

    const off_t start = created ? 0 : ::lseek(fd, 0, SEEK_END);
    errno = 0;
    bool ok = start >= 0 && WriteAll(fd, data.data(), data.size());
    const bool tooLarge = !ok && errno == EFBIG;
    ok = ok && SyncRetrying(fd);
    // Taken before the clean-up below can change errno. A short write that
    // ended without an error is the disk being full.
    const int writeError = ok ? 0 : (errno != 0 ? errno : ENOSPC);
    if (ok && created) SyncFolderOf(path);
    if (!ok) {
        // Rows that are only half in the file would be written again whole at
        // the retry; take the half back out. Shrinking needs no space, so this
        // holds on a full disk too.
        if (created) {
            ::unlink(path.c_str());
        } else if (start >= 0) {
            TruncateRetrying(fd, start);
        }
    }
    // Not retried on EINTR: Linux has released the descriptor either way. The
    // data is already on the disk, so an error here changes nothing.
    ::close(fd);
    if (ok) return AppendResult::Written;
    lastError_ = writeError;
    return tooLarge ? AppendResult::FileTooLarge : AppendResult::WriteFailed;
}

bool PosixChunkSink::MakeFolder(const std::string& folder) {
    if (folder.empty()) {
        lastError_ = ENOENT;
        return false;
    }
    return MakeFolders(folder);
}

bool PosixChunkSink::MakeFolders(const std::string& folder) {
    if (IsFolder(folder)) return true;
    // Parents first; a folder made meanwhile by someone else counts as made.
    const std::string parent = ParentOf(folder);
    if (parent != folder && !IsFolder(parent) && !MakeFolders(parent)) return false;
    const int rc = RetryEintr([&] { return ::mkdir(folder.c_str(), 0777); });
    if (rc == 0 || errno == EEXIST) {
        if (IsFolder(folder)) return true;
        lastError_ = ENOTDIR;  // a file has the folder's name
        return false;
    }
    lastError_ = errno;
    return false;
}
