#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

#include "LocalZone.h"
#include "RecordedRow.h"
#include "Recording.h"
#include "SystemCalls.h"

namespace {

// Read in blocks rather than whole: a 40 MiB file would otherwise sit in
// memory beside its rows. A line longer than a block is no row of ours.
constexpr size_t kBlockBytes = 1 << 20;
// The recorder writes its rows within seconds; a disk that refused them for a
// while may hold them longer.
constexpr int64_t kWrittenWithinMs = 5 * 60 * 1000;

// f(column) for each of a trace's seven columns.
template <typename F>
void EachColumn(RecordedTrace& t, F f) {
    f(t.utcMs);
    f(t.x);
    f(t.y);
    f(t.temperature);
    f(t.xDecimals);
    f(t.yDecimals);
    f(t.temperatureDecimals);
}

// The rows of one file, one trace per address, in file order.
class FileRows {
public:
    explicit FileRows(int nameAddress) : nameAddress_(nameAddress) { slot_.fill(-1); }

    // Columns reserved once for this many rows: grown by doubling, a file's
    // columns would hold up to twice the memory its rows need.
    void ExpectRows(size_t rows) { expectedRows_ = rows; }

    void Line(const char* begin, const char* end) {
        RecordedRow row;
        switch (
            ParseRecordingLine(std::string_view(begin, static_cast<size_t>(end - begin)), row)) {
            case LineKind::Row:
                // Only tiltlog's bus output has the address column, and it
                // begins with its header: elsewhere five fields could be a
                // decimal comma, never to be taken for an address.
                if ((row.address >= 0) == busColumns_) {
                    Take(row);
                } else {
                    ++unreadable;
                }
                return;
            case LineKind::Unreadable:
                ++unreadable;
                return;
            case LineKind::Header:
                busColumns_ = false;
                return;
            case LineKind::BusHeader:
                busColumns_ = true;
                return;
            case LineKind::Blank:
                return;
        }
    }

    // Whole lines of [begin, end); returns where the unfinished last line begins.
    const char* Lines(const char* begin, const char* end) {
        while (begin != end) {
            const void* nl = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
            if (!nl) break;
            const char* lineEnd = static_cast<const char*>(nl);
            Line(begin, lineEnd);
            begin = lineEnd + 1;
        }
        return begin;
    }

    // A file that never stepped back but ends in a repeated hour may have been
    // begun in its second pass: when the file was last written (a true
    // instant) just after its last row's second pass, its rows in that hour
    // are the second pass. A copied file's time says nothing and changes nothing.
    void SecondPassIfWrittenAt(int64_t modifiedUtcMs) {
        if (!endsInFirstPassOnly_) return;
        int64_t lastUtcMs = INT64_MIN;
        for (const RecordedTrace& t : traces) lastUtcMs = std::max(lastUtcMs, t.utcMs.back());
        const int64_t changeMs = ChangeMsAt(lastUtcMs);
        if (changeMs <= 0 || modifiedUtcMs < lastUtcMs + changeMs ||
            modifiedUtcMs > lastUtcMs + changeMs + kWrittenWithinMs)
            return;
        for (RecordedTrace& t : traces) {
            for (size_t i = t.Size(); i-- > 0 && ChangeMsAt(t.utcMs[i]) > 0;)
                t.utcMs[i] += ChangeMsAt(t.utcMs[i]);
        }
    }

    void Finish() {
        for (RecordedTrace& t : traces) {
            if (t.utcMs.capacity() > t.Size() + t.Size() / 8)
                EachColumn(t, [](auto& column) { column.shrink_to_fit(); });
        }
    }

    std::vector<RecordedTrace> traces;
    uint64_t unreadable = 0;

private:
    void Take(const RecordedRow& row) {
        int64_t utcMs = 0;
        if (!ToUtc(row, utcMs)) {
            ++unreadable;
            return;
        }
        RecordedTrace& t = TraceFor(row.address >= 0 ? row.address : nameAddress_);
        t.utcMs.push_back(utcMs);
        t.x.push_back(row.value[0]);
        t.y.push_back(row.value[1]);
        t.temperature.push_back(row.value[2]);
        t.xDecimals.push_back(row.decimals[0]);
        t.yDecimals.push_back(row.decimals[1]);
        t.temperatureDecimals.push_back(row.decimals[2]);
    }

    // The repeated hour of a clock change: see ReadRecordings.
    bool ToUtc(const RecordedRow& row, int64_t& utcMs) {
        const int64_t localMs = row.LocalMs();
        const LocalZone::Offsets o =
            zone_.At(localMs >= 0 ? localMs / 1000 : (localMs - 999) / 1000);
        if (o.count == 0) return false;
        int32_t offset = o.first;
        endsInFirstPassOnly_ = false;
        if (o.count == 1) {
            secondPass_ = false;
        } else {
            const int64_t halfChangeMs = (int64_t{o.first} - o.second) * 500;
            if (!secondPass_ && latestLocalMs_ > localMs + halfChangeMs) {
                secondPass_ = true;
                steppedBack_ = true;
            }
            if (secondPass_) offset = o.second;
            endsInFirstPassOnly_ = !steppedBack_;
        }
        latestLocalMs_ = std::max(latestLocalMs_, localMs);
        utcMs = localMs - int64_t{offset} * 1000;
        return true;
    }

    RecordedTrace& TraceFor(int address) {
        int& slot = slot_[static_cast<size_t>(address + 1)];
        if (slot < 0) {
            slot = static_cast<int>(traces.size());
            RecordedTrace& t = traces.emplace_back();
            t.address = address;
            // Most files hold one sensor: reserve for it, and let others grow.
            if (traces.size() == 1 && expectedRows_ > 0)
                EachColumn(t, [this](auto& column) { column.reserve(expectedRows_); });
        }
        return traces[static_cast<size_t>(slot)];
    }

    // How far a row read as the first pass of a repeated hour moves as the
    // second pass; 0 for any other row.
    int64_t ChangeMsAt(int64_t utcMs) {
        const int64_t utcSeconds = utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000;
        const int32_t offset = zone_.OffsetAt(utcSeconds);
        const LocalZone::Offsets o = zone_.At(utcSeconds + offset);
        return o.count == 2 && o.first == offset ? (int64_t{o.first} - o.second) * 1000 : 0;
    }

    const int nameAddress_;
    std::array<int, 257> slot_;  // address + 1 -> index in traces
    size_t expectedRows_ = 0;
    LocalZone zone_;
    int64_t latestLocalMs_ = INT64_MIN;
    bool secondPass_ = false;
    bool steppedBack_ = false;
    bool endsInFirstPassOnly_ = false;  // the last row, in a repeated hour
    bool busColumns_ = false;
};

struct FileResult {
    std::vector<RecordedTrace> traces;
    uint64_t unreadable = 0;
    std::string problem;
};

void Collect(FileRows& rows, FileResult& result) {
    rows.Finish();
    result.traces = std::move(rows.traces);
    result.unreadable = rows.unreadable;
}

void ReadFile(const std::string& path, FileResult& result) {
    const auto fail = [&](int err) { result.problem = path + ": " + SystemText(err); };
    // Not blocking at open: a named pipe without a writer would wait forever.
    const int fd =
        RetryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); });
    if (fd < 0) return fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    // A file or a pipe (zcat into a process substitution); a device such as
    // /dev/zero would never end.
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode)) return fail(EISDIR);
        result.problem = path + ": not a file";
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FileRows rows(AddressFromFileName(path));
    const uint64_t fileBytes = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::vector<char> block(kBlockBytes);
    size_t kept = 0;          // an unfinished line carried to the front
    bool discarding = false;  // inside a line too long to be a row
    bool firstBlock = true;
    for (;;) {
        const ssize_t n =
            RetryEintr([&] { return ::read(fd, block.data() + kept, block.size() - kept); });
        if (n < 0) {
            fail(errno);
            break;
        }
        if (n == 0) {
            // The last line may lack its line end; it is read if it is whole.
            if (kept > 0 && !discarding) rows.Line(block.data(), block.data() + kept);
            break;
        }
        const char* begin = block.data();
        const char* const end = begin + kept + static_cast<size_t>(n);
        if (firstBlock) {
            // The first block's lines tell the length of the file's rows.
            firstBlock = false;
            const size_t lines = static_cast<size_t>(std::count(begin, end, '\n'));
            if (lines > 0 && fileBytes > 0) {
                const double perLine = static_cast<double>(end - begin) / lines;
                rows.ExpectRows(static_cast<size_t>(fileBytes / perLine * 1.02) + 16);
            }
        }
        if (discarding) {
            const void* nl = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
            if (!nl) {
                kept = 0;
                continue;
            }
            begin = static_cast<const char*>(nl) + 1;
            discarding = false;
        }
        begin = rows.Lines(begin, end);
        kept = static_cast<size_t>(end - begin);
        if (kept == block.size()) {
            ++rows.unreadable;
            discarding = true;
            kept = 0;
        } else if (kept > 0) {
            std::memmove(block.data(), begin, kept);
        }
    }
    ::close(fd);
    if (S_ISREG(st.st_mode))
        rows.SecondPassIfWrittenAt(int64_t{st.st_mtim.tv_sec} * 1000 +
                                   st.st_mtim.tv_nsec / 1000000);
    Collect(rows, result);
}

template <typename T>
void Permute(std::vector<T>& v, const std::vector<uint32_t>& order) {
    std::vector<T> out;
    out.reserve(v.size());
    for (uint32_t i : order) out.push_back(v[i]);
    v.swap(out);
}

void SortByTime(RecordedTrace& t) {
    if (std::is_sorted(t.utcMs.begin(), t.utcMs.end())) return;
    std::vector<uint32_t> order(t.Size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return t.utcMs[a] < t.utcMs[b]; });
    EachColumn(t, [&order](auto& column) { Permute(column, order); });
}

// One column of all pieces end to end; each piece's column is freed once
// copied, so memory holds the rows about once and one column twice.
template <typename T>
void Concatenate(std::vector<T> RecordedTrace::*column, const std::vector<RecordedTrace*>& pieces,
                 size_t total, RecordedTrace& out) {
    std::vector<T>& to = out.*column;
    to.reserve(total);
    for (RecordedTrace* p : pieces) {
        std::vector<T>& from = p->*column;
        to.insert(to.end(), from.begin(), from.end());
        std::vector<T>().swap(from);
    }
    // The pieces came from the readers' arenas, which keep freed memory for
    // themselves: handed back now, the next column can have it.
    ::malloc_trim(0);
}

// The pieces of one address, each in time order within itself unless two
// recordings shared a file: put end to end in the order of their first stamps,
// and sorted (stably) only when that is not yet time order.
RecordedTrace Stitch(std::vector<RecordedTrace*>& pieces) {
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const RecordedTrace* a, const RecordedTrace* b) {
                         return a->utcMs.front() < b->utcMs.front();
                     });
    RecordedTrace out;
    if (pieces.size() == 1) {
        out = std::move(*pieces.front());
    } else {
        out.address = pieces.front()->address;
        size_t total = 0;
        for (const RecordedTrace* p : pieces) total += p->Size();
        Concatenate(&RecordedTrace::utcMs, pieces, total, out);
        Concatenate(&RecordedTrace::x, pieces, total, out);
        Concatenate(&RecordedTrace::y, pieces, total, out);
        Concatenate(&RecordedTrace::temperature, pieces, total, out);
        Concatenate(&RecordedTrace::xDecimals, pieces, total, out);
        Concatenate(&RecordedTrace::yDecimals, pieces, total, out);
        Concatenate(&RecordedTrace::temperatureDecimals, pieces, total, out);
    }
    SortByTime(out);
    return out;
}

Recording Assemble(std::vector<FileResult>& files) {
    Recording recording;
    std::map<int, std::vector<RecordedTrace*>> byAddress;
    for (FileResult& f : files) {
        recording.unreadableRows += f.unreadable;
        if (!f.problem.empty()) recording.problems.push_back(f.problem);
        for (RecordedTrace& t : f.traces) {
            if (t.Size() > 0) byAddress[t.address].push_back(&t);
        }
    }
    for (auto& [address, pieces] : byAddress) recording.traces.push_back(Stitch(pieces));
    return recording;
}

}  // namespace

Recording ReadRecordings(const std::vector<std::string>& paths) {
    std::vector<FileResult> files(paths.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < paths.size(); i = next++) ReadFile(paths[i], files[i]);
    };
    // Two readers: a week of files is mostly parsing, and the machines this
    // runs on have at least two cores; more would only wait for the disk.
    std::thread helper;
    if (paths.size() > 1) {
        try {
            helper = std::thread(work);
        } catch (const std::system_error&) {
            // No second thread: this one reads them all.
        }
    }
    work();
    if (helper.joinable()) helper.join();
    return Assemble(files);
}

Recording ReadRecordingText(const std::string& text, const std::string& name) {
    FileRows rows(AddressFromFileName(name));
    const char* const end = text.data() + text.size();
    const char* rest = rows.Lines(text.data(), end);
    if (rest != end) rows.Line(rest, end);
    std::vector<FileResult> files(1);
    Collect(rows, files[0]);
    return Assemble(files);
}
