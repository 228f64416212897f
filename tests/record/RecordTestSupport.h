#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ChunkSink.h"
#include "LocalClock.h"

namespace record_test {

namespace fs = std::filesystem;

// Fixed unless a test moves it.
class FakeClock : public Clock {
public:
    explicit FakeClock(LocalTime start) : now_(start) {}
    LocalTime Now() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return now_;
    }
    // Within one day is all the tests need.
    void AdvanceMs(long ms) {
        std::lock_guard<std::mutex> lock(mutex_);
        long total =
            ((now_.hour * 60L + now_.minute) * 60 + now_.second) * 1000L + now_.millisecond + ms;
        now_.millisecond = static_cast<int>(total % 1000);
        total /= 1000;
        now_.second = static_cast<int>(total % 60);
        total /= 60;
        now_.minute = static_cast<int>(total % 60);
        now_.hour = static_cast<int>(total / 60);
    }

private:
    std::mutex mutex_;
    LocalTime now_;
};

inline LocalTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
    LocalTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.millisecond = ms;
    return t;
}

// The real disk, with a switch that makes it refuse, and a watch on overlapping calls.
class SwitchableSink : public ChunkSink {
public:
    bool FileSize(const std::string& path, uint64_t& size) override {
        return real_.FileSize(path, size);
    }
    AppendResult Append(const std::string& path, std::string_view data) override {
        return Forward(path, data, false);
    }
    AppendResult Create(const std::string& path, std::string_view data) override {
        return Forward(path, data, true);
    }
    AppendResult Forward(const std::string& path, std::string_view data, bool create) {
        const int inFlight = ++inFlight_;
        int seen = maxInFlight_.load();
        while (inFlight > seen && !maxInFlight_.compare_exchange_weak(seen, inFlight)) {
        }
        ++appends_;
        AppendResult result = AppendResult::WriteFailed;
        if (!refuseWrite_) result = create ? real_.Create(path, data) : real_.Append(path, data);
        --inFlight_;
        return result;
    }
    bool MakeFolder(const std::string& folder) override { return real_.MakeFolder(folder); }
    int LastError() const override {
        return refuseWrite_ ? refuseError_.load() : real_.LastError();
    }

    std::atomic<bool> refuseWrite_{false};
    std::atomic<int> refuseError_{ENOSPC};
    std::atomic<int> appends_{0};
    std::atomic<int> maxInFlight_{0};

private:
    PosixChunkSink real_;
    std::atomic<int> inFlight_{0};
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// CR LF separated; a missing final line end shows as a marked last entry.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find("\r\n", from);
        if (end == std::string::npos) {
            lines.push_back(text.substr(from) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

// Polls until `done` holds or the deadline passes; the writer runs on its own thread.
inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds within = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A check inside a re-executed child: its message shows in the parent's report.
[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    std::exit(1);
}

inline void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
}

// Only for a re-executed child (death-test style "threadsafe"): a lowered limit
// in the runner itself could cut its own output files.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);  // EFBIG from write() instead of a killed process
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        Check(::setrlimit(RLIMIT_FSIZE, &lower) == 0, "lower RLIMIT_FSIZE");
    }
    void Lift() { Check(::setrlimit(RLIMIT_FSIZE, &saved_) == 0, "restore RLIMIT_FSIZE"); }

private:
    rlimit saved_{};
};

// A small file system of the test's own, so that a full disk and a read-only
// one are real. Mounting needs root; Mounted() says whether it worked.
class ScratchMount {
public:
    ScratchMount(const fs::path& at, size_t bytes) : at_(at) {
        fs::create_directories(at_);
        const std::string size = "size=" + std::to_string(bytes) + ",mode=0777";
        mounted_ = ::geteuid() == 0 &&
                   ::mount("tmpfs", at_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0;
    }
    ~ScratchMount() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool Mounted() const { return mounted_; }
    bool SetReadOnly(bool readOnly) {
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        return ::mount("tmpfs", at_.c_str(), "tmpfs", flags, nullptr) == 0;
    }
    // Takes all the space there is; removing the file gives it back.
    void Fill(const std::string& name) {
        std::FILE* f = std::fopen((at_ / name).c_str(), "wb");
        if (!f) return;
        static const char block[4096] = {};
        while (std::fwrite(block, 1, sizeof block, f) == sizeof block) {
        }
        while (std::fwrite(block, 1, 1, f) == 1) {
        }
        std::fclose(f);
    }

private:
    fs::path at_;
    bool mounted_ = false;
};

// A folder that takes no files: a read-only file system where the test may
// mount one, else a folder without write permission (which root would ignore).
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& at) : at_(at), mount_(at, 1 << 20) {
        if (mount_.Mounted()) {
            ok_ = mount_.SetReadOnly(true);
        } else if (::geteuid() != 0) {
            ok_ = ::chmod(at_.c_str(), 0555) == 0;
        }
    }
    ~ReadOnlyFolder() {
        if (!mount_.Mounted()) ::chmod(at_.c_str(), 0755);
    }
    bool Ok() const { return ok_; }
    // What open(2) says there.
    int Error() const { return mount_.Mounted() ? EROFS : EACCES; }

private:
    fs::path at_;
    ScratchMount mount_;
    bool ok_ = false;
};

// The process's zone for a scope (TZ, read at once), put back after it.
class InZone {
public:
    explicit InZone(const char* zone) : had_(::getenv("TZ") != nullptr) {
        if (had_) old_ = ::getenv("TZ");
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~InZone() {
        if (had_) {
            ::setenv("TZ", old_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    InZone(const InZone&) = delete;
    InZone& operator=(const InZone&) = delete;

private:
    bool had_;
    std::string old_;
};

inline bool HaveZone(const char* name) {
    return fs::exists(std::string("/usr/share/zoneinfo/") + name);
}

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tiltscope-record-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    std::string PathOf(const std::string& name) const { return (root_ / name).string(); }
    std::vector<std::string> CsvFilesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().extension() == ".csv") names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root_;
};

}  // namespace record_test
