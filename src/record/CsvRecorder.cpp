#include "CsvRecorder.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// Above this, a buffer that held an outage's rows gives its memory back.
constexpr size_t kKeptCapacity = 4u * 1024 * 1024;

std::string FolderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

// Drops whole rows from `from` on, oldest first, until at least `excess` bytes
// are gone; returns the rows dropped.
uint64_t DropOldestRows(std::string& rows, size_t from, size_t excess) {
    if (excess == 0 || rows.size() <= from) return 0;
    const size_t cut = std::min(rows.size(), from + excess);
    const size_t lineEnd = rows.find('\n', cut - 1);
    const size_t end = lineEnd == std::string::npos ? rows.size() : lineEnd + 1;
    const auto dropped =
        static_cast<uint64_t>(std::count(rows.begin() + static_cast<std::ptrdiff_t>(from),
                                         rows.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
    rows.erase(from, end - from);
    return dropped;
}

}  // namespace

CsvRecorder::CsvRecorder(Clock& clock, RecorderOptions options)
    : clock_(clock),
      options_(options),
      ownSink_(options.sink ? nullptr : std::make_unique<PosixChunkSink>()),
      sink_(options.sink ? *options.sink : *ownSink_) {}

CsvRecorder::~CsvRecorder() {
    std::lock_guard<std::mutex> control(controlMutex_);
    StopLocked();
}

bool CsvRecorder::Start(const std::string& folder, const std::string& prefix) {
    std::lock_guard<std::mutex> control(controlMutex_);
    StopLocked();

    const LocalTime now = clock_.Now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        folder_ = folder;
        prefix_ = prefix;
        path_ = MakeCsvFileName(folder_, prefix_, now);
        buffers_[0].clear();
        buffers_[1].clear();
        front_ = 0;
        frontRows_ = 0;
        stopping_ = false;
        writeRequested_ = 0;
        writeServed_ = 0;
        stats_ = RecorderStats{};
        fault_ = WriteFault{};
        recording_.store(true, std::memory_order_relaxed);
    }
    // No writer runs now, so its own state can be reset from here.
    held_.clear();
    ownFile_.clear();
    heldRows_ = 0;
    heldHeaderBytes_ = 0;
    headerDue_ = true;
    backlog_ = false;
    spare_.clear();

    try {
        writer_ = std::thread([this] { WriterMain(); });
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(mutex_);
        recording_.store(false, std::memory_order_relaxed);
        return false;
    }
    return true;
}

void CsvRecorder::Stop() {
    std::lock_guard<std::mutex> control(controlMutex_);
    StopLocked();
}

void CsvRecorder::StopLocked() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Under the same lock as AppendRow: every row that got in before this
        // point is taken by the writer's last cycle, none gets in after it.
        recording_.store(false, std::memory_order_relaxed);
        stopping_ = writer_.joinable();
    }
    if (!writer_.joinable()) return;
    wake_.notify_all();
    // Joining here is what makes a Start right after a Stop safe: the next
    // writer cannot begin while this one still owns the buffers.
    writer_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

std::string CsvRecorder::ChangeFolder(const std::string& folder, const std::string& prefix) {
    std::lock_guard<std::mutex> control(controlMutex_);
    const LocalTime now = clock_.Now();
    std::lock_guard<std::mutex> lock(mutex_);
    folder_ = folder;
    prefix_ = prefix;
    path_ = MakeCsvFileName(folder_, prefix_, now);
    return path_;
}

void CsvRecorder::SetPrefix(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    prefix_ = prefix;
}

void CsvRecorder::AppendRow(const std::string& x, const std::string& y,
                            const std::string& temperature) {
    if (!recording_.load(std::memory_order_relaxed)) return;
    AppendRow(x, y, temperature, clock_.Now());
}

void CsvRecorder::AppendRow(const std::string& x, const std::string& y,
                            const std::string& temperature, const LocalTime& at) {
    if (!recording_.load(std::memory_order_relaxed)) return;
    // Formatting outside the lock: the writer's takes stay short.
    char stamp[csv_detail::kTimeStampCapacity];
    const size_t stampSize = csv_detail::WriteTimeStamp(stamp, at);

    std::lock_guard<std::mutex> lock(mutex_);
    if (!recording_.load(std::memory_order_relaxed)) return;
    std::string& buffer = buffers_[front_];
    csv_detail::AppendRowWithStamp(buffer, x, y, temperature, stamp, stampSize);
    ++frontRows_;
    if (buffer.size() >= options_.earlyWriteBytes && !earlyWriteAsked_) {
        earlyWriteAsked_ = true;
        ++writeRequested_;
        wake_.notify_all();
    }
}

bool CsvRecorder::WriteNow(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!recording_.load(std::memory_order_relaxed)) return false;
    const uint64_t ticket = ++writeRequested_;
    wake_.notify_all();
    return cycleDone_.wait_for(lock, timeout, [&] { return writeServed_ >= ticket; });
}

RecorderState CsvRecorder::State() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!recording_.load(std::memory_order_relaxed)) return RecorderState::Idle;
    return front_ == 0 ? RecorderState::FillingA : RecorderState::FillingB;
}

std::string CsvRecorder::CurrentPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

std::string CsvRecorder::Folder() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return folder_;
}

RecorderStats CsvRecorder::Stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    RecorderStats s = stats_;
    s.bytesHeld += buffers_[front_].size();
    s.rowsCollected = frontRows_;
    return s;
}

WriteFault CsvRecorder::Fault() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

void CsvRecorder::Count(uint64_t RecorderStats::*counter, uint64_t amount) {
    std::lock_guard<std::mutex> lock(mutex_);
    stats_.*counter += amount;
}

void CsvRecorder::WriterMain() {
    std::unique_lock<std::mutex> lock(mutex_);
    // The first cycle puts the header down at once: a folder that takes no
    // files is known while the operator still looks at the record button.
    bool first = true;
    for (;;) {
        const auto due = std::chrono::steady_clock::now() + options_.writePeriod;
        if (!first) {
            wake_.wait_until(lock, due,
                             [this] { return stopping_ || writeRequested_ != writeServed_; });
        }
        first = false;
        const bool last = stopping_;
        const uint64_t serving = writeRequested_;
        const uint64_t takenRows = TakeFilledBuffer();
        stats_.bytesHeld = held_.size() + spare_.size();
        lock.unlock();

        WriteHeld(takenRows);

        lock.lock();
        if (last && !held_.empty()) {
            // The disk still refuses them and nobody will retry: say so.
            stats_.rowsAbandoned += heldRows_;
            std::string().swap(held_);
            heldRows_ = 0;
        }
        stats_.bytesHeld = held_.size();
        stats_.rowsHeld = heldRows_;
        writeServed_ = serving;
        cycleDone_.notify_all();
        if (last) return;
    }
}

uint64_t CsvRecorder::TakeFilledBuffer() {
    std::string& filled = buffers_[front_];
    if (filled.empty()) return 0;
    // spare_ is empty, so the buffer AppendRow turns to next is empty too: the
    // buffer not being filled is always empty outside this swap.
    spare_.swap(filled);
    front_ ^= 1;
    earlyWriteAsked_ = false;
    const uint64_t rows = frontRows_;
    frontRows_ = 0;
    return rows;
}

void CsvRecorder::WriteHeld(uint64_t takenRows) {
    if (headerDue_) {
        const std::string lead = options_.leadColumn.empty() ? "" : options_.leadColumn + ",";
        held_.insert(0, lead + kCsvHeader + kCsvLineEnd);
        heldHeaderBytes_ = held_.size();
        headerDue_ = false;
    }
    heldRows_ += takenRows;
    if (!backlog_ && held_.empty()) {
        held_.swap(spare_);  // the common case: no copy
    } else if (!backlog_) {
        held_.append(spare_);  // after a header: a working disk takes any chunk whole
        spare_.clear();
    } else {
        // An outage goes on. The new rows join the held ones within the bound,
        // and in memory too: room is made before they are added, and the
        // buffer is given the bound's size once rather than doubled past it.
        MakeRoomFor(spare_);
        const size_t needed = held_.size() + spare_.size();
        if (held_.capacity() < needed) {
            std::string grown;
            grown.reserve(std::max<size_t>(needed, options_.heldBytesLimit));
            grown.append(held_);
            held_.swap(grown);
        }
        held_.append(spare_);
        // It becomes the buffer rows are collected in; meanwhile it holds nothing.
        std::string().swap(spare_);
    }
    if (held_.empty()) return;

    const std::string path = PathForChunk();
    AppendResult result = AppendWithFallbacks(path);
    if (result == AppendResult::FileTooLarge) result = WriteInPieces();
    if (result != AppendResult::Written) {
        NoteFault(path);
        // Kept for the next cycle. The bound only applies to rows the disk has
        // refused: a working disk never loses a row, however large the chunk.
        TrimHeld();
        backlog_ = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stats_.rowsWritten += heldRows_;
        ++stats_.chunksWritten;
        fault_.trouble = WriteTrouble::None;
        fault_.fileMade = true;
    }
    held_.clear();
    // After an outage the buffer may have grown to the bound; give that back.
    // In steady flow the capacity is kept, so rows never wait for fresh pages.
    if (backlog_ && held_.capacity() > kKeptCapacity) std::string().swap(held_);
    backlog_ = false;
    heldRows_ = 0;
    heldHeaderBytes_ = 0;
}

AppendResult CsvRecorder::WriteInPieces() {
    // Only a chunk larger than the file-size limit itself gets here: it goes
    // on in fresh files, each of as many whole rows as the limit takes.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return AppendResult::FileTooLarge;
    const size_t most = static_cast<size_t>(limit.rlim_cur);
    const std::string base = FreshName();
    int n = 1;
    while (!held_.empty()) {
        size_t end = std::min(most, held_.size());
        if (end < held_.size()) {
            const size_t lineEnd = end == 0 ? std::string::npos : held_.rfind('\n', end - 1);
            if (lineEnd == std::string::npos)
                return AppendResult::FileTooLarge;  // one row too long
            end = lineEnd + 1;
        }
        const std::string piece = held_.substr(0, end);
        AppendResult result = AppendResult::NameTaken;
        std::string name;
        // A name taken, or a file of ours that has no room left: the next number.
        for (; n < 1000 &&
               (result == AppendResult::NameTaken || result == AppendResult::FileTooLarge);
             ++n) {
            name = n == 1 ? base : NumberedCsvFileName(base, n);
            result = sink_.Create(name, piece);
        }
        if (result != AppendResult::Written) return result;
        ownFile_ = name;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            path_ = name;
        }
        uint64_t rows = static_cast<uint64_t>(std::count(piece.begin(), piece.end(), '\n'));
        if (heldHeaderBytes_ > 0) --rows;  // the header went with the first piece
        heldHeaderBytes_ = 0;
        rows = std::min(rows, heldRows_);
        heldRows_ -= rows;
        Count(&RecorderStats::rowsWritten, rows);
        held_.erase(0, end);
    }
    return AppendResult::Written;
}

void CsvRecorder::NoteFault(const std::string& path) {
    const int error = sink_.LastError();
    // Space comes back when someone makes it; nothing else here passes by itself.
    const WriteTrouble trouble =
        error == ENOSPC || error == EDQUOT ? WriteTrouble::DiskFull : WriteTrouble::Refused;
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.failedWrites;
    if (fault_.trouble != trouble) ++fault_.number;
    fault_.trouble = trouble;
    fault_.error = error;
    fault_.path = path;
}

void CsvRecorder::MakeRoomFor(std::string& incoming) {
    const size_t limit = static_cast<size_t>(options_.heldBytesLimit);
    if (held_.size() + incoming.size() <= limit) return;
    uint64_t dropped =
        DropOldestRows(held_, heldHeaderBytes_, held_.size() + incoming.size() - limit);
    // New rows alone past the bound: the oldest of them go as well.
    if (held_.size() + incoming.size() > limit)
        dropped += DropOldestRows(incoming, 0, held_.size() + incoming.size() - limit);
    heldRows_ -= std::min(dropped, heldRows_);
    Count(&RecorderStats::rowsDropped, dropped);
}

void CsvRecorder::TrimHeld() {
    if (held_.size() <= options_.heldBytesLimit) return;
    const uint64_t dropped = DropOldestRows(
        held_, heldHeaderBytes_, static_cast<size_t>(held_.size() - options_.heldBytesLimit));
    heldRows_ -= std::min(dropped, heldRows_);
    Count(&RecorderStats::rowsDropped, dropped);
}

std::string CsvRecorder::FreshName() {
    const LocalTime now = clock_.Now();
    std::lock_guard<std::mutex> lock(mutex_);
    return MakeCsvFileName(folder_, prefix_, now);
}

std::string CsvRecorder::PathForChunk() {
    const std::string path = CurrentPath();
    uint64_t size = 0;
    if (!sink_.FileSize(path, size) || size <= options_.rotateAboveBytes) return path;
    const std::string next = FreshName();
    std::lock_guard<std::mutex> lock(mutex_);
    if (path_ == path) path_ = next;  // a Browse meanwhile has chosen already
    return path_;
}

AppendResult CsvRecorder::Put(const std::string& path) {
    const AppendResult result =
        path == ownFile_ ? sink_.Append(path, held_) : sink_.Create(path, held_);
    if (result == AppendResult::Written) ownFile_ = path;
    return result;
}

AppendResult CsvRecorder::PutUnderOwnName(const std::string& path) {
    AppendResult result = Put(path);
    // The name is someone else's (a recording started in the same second, a
    // file or link planted at the name): number ours instead.
    for (int n = 2; result == AppendResult::NameTaken && n < 100; ++n) {
        const std::string numbered = NumberedCsvFileName(path, n);
        result = Put(numbered);
        if (result == AppendResult::Written) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (path_ == path) path_ = numbered;
        }
    }
    return result;
}

AppendResult CsvRecorder::AppendWithFallbacks(const std::string& path) {
    AppendResult result = PutUnderOwnName(path);
    if (result == AppendResult::OpenFailed) {
        // Most often the data folder is missing (a fresh install, a removed
        // stick's mount point): make it rather than lose the rows.
        if (sink_.MakeFolder(FolderOf(path))) result = PutUnderOwnName(path);
    }
    if (result != AppendResult::OpenFailed && result != AppendResult::FileTooLarge) return result;

    // The file itself may be unusable (made read-only, a folder in its place,
    // grown to the file-size limit): go on under a fresh name, as a rotation
    // would. Within the same second the fresh name is this one: number it.
    std::string fresh = FreshName();
    if (fresh == path) fresh = NumberedCsvFileName(path, 2);
    result = PutUnderOwnName(fresh);
    if (result == AppendResult::Written) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (path_ == path) path_ = ownFile_;
    }
    return result;
}
