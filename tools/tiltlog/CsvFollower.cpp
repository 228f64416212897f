#include "CsvFollower.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <utility>

#include "RecordedRow.h"
#include "SystemCalls.h"

namespace {

constexpr size_t kBlock = 64 * 1024;

// The begin time and number of a recorder's file name, for its place in the
// order: "P_20261211023000-2.csv" is the second file begun in that second.
bool OrderKey(const std::string& name, const std::string& prefix, std::string& stamp, long& n) {
    const std::string lead = prefix + "_";
    if (name.size() < lead.size() + 18 || name.compare(0, lead.size(), lead) != 0) return false;
    if (name.compare(name.size() - 4, 4, ".csv") != 0) return false;
    stamp = name.substr(lead.size(), 14);
    if (!std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const std::string rest = name.substr(lead.size() + 14, name.size() - lead.size() - 18);
    n = 1;
    if (rest.empty()) return true;
    if (rest.size() < 2 || rest.size() > 5 || rest[0] != '-') return false;
    n = 0;
    for (size_t i = 1; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9') return false;
        n = n * 10 + (rest[i] - '0');
    }
    return true;
}

bool Before(const std::string& a, const std::string& b, const std::string& prefix) {
    std::string sa, sb;
    long na = 0, nb = 0;
    OrderKey(a, prefix, sa, na);
    OrderKey(b, prefix, sb, nb);
    return sa != sb ? sa < sb : na < nb;
}

}  // namespace

std::vector<std::string> CsvFilesOf(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string stamp;
        long n = 0;
        const std::string name = it->path().filename().string();
        if (OrderKey(name, prefix, stamp, n)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return Before(a, b, prefix); });
    return names;
}

CsvFollower::CsvFollower(std::string folder, std::string prefix)
    : folder_(std::move(folder)), prefix_(std::move(prefix)) {}

CsvFollower::~CsvFollower() {
    Close();
}

CsvFollower::CsvFollower(const CsvFollower& o)
    : folder_(o.folder_),
      prefix_(o.prefix_),
      lastOld_(o.lastOld_),
      file_(o.file_),
      after_(o.after_),
      offset_(o.offset_),
      row_(o.row_),
      inRun_(o.inRun_),
      runRows_(o.runRows_) {}

CsvFollower& CsvFollower::operator=(const CsvFollower& o) {
    if (this == &o) return *this;
    Close();
    folder_ = o.folder_;
    prefix_ = o.prefix_;
    lastOld_ = o.lastOld_;
    file_ = o.file_;
    after_ = o.after_;
    offset_ = o.offset_;
    row_ = o.row_;
    inRun_ = o.inRun_;
    runRows_ = o.runRows_;
    return *this;
}

void CsvFollower::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    block_.clear();
    blockAt_ = 0;
}

void CsvFollower::Begin(const FeedPosition* at, std::string& note) {
    const std::vector<std::string> files = CsvFilesOf(folder_, prefix_);
    lastOld_ = files.empty() ? std::string() : files.back();
    Close();
    file_.clear();
    offset_ = row_ = runRows_ = 0;
    inRun_ = false;
    after_ = lastOld_;
    if (!at) return;
    if (std::find(files.begin(), files.end(), at->file) == files.end()) {
        const auto next = std::find_if(files.begin(), files.end(), [&](const std::string& f) {
            return Before(at->file, f, prefix_);
        });
        note = "the MQTT feed's position names " + at->file + " in " + folder_ +
               ", which is gone; the feed goes on from " +
               (next == files.end() ? std::string("the rows recorded from now on") : *next);
        if (next == files.end()) return;
        file_ = *next;
        return;
    }
    file_ = at->file;
    std::string error;
    const uint64_t passed = Skip(at->rows, true, error);
    if (!error.empty()) note = error;
    (void)passed;  // rows the broker had that no file kept: a killed run's last seconds
}

bool CsvFollower::Open(std::string& error) {
    if (fd_ >= 0) return true;
    const std::string path = folder_ + "/" + file_;
    fd_ = RetryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd_ < 0) {
        error = "cannot read " + path + " for the MQTT feed: " + SystemText(errno);
        return false;
    }
    return true;
}

bool CsvFollower::Advance(bool oldOnly) {
    // Another file after this one means this one is whole: the recorder
    // begins the next only after its last write to this one.
    const std::vector<std::string> files = CsvFilesOf(folder_, prefix_);
    const std::string& from = file_.empty() ? after_ : file_;
    const auto next = std::find_if(files.begin(), files.end(), [&](const std::string& f) {
        return from.empty() || Before(from, f, prefix_);
    });
    if (next == files.end()) return false;
    const bool run = lastOld_.empty() || Before(lastOld_, *next, prefix_);
    if (oldOnly && run) return false;
    Close();
    file_ = *next;
    offset_ = row_ = 0;
    inRun_ = run;
    return true;
}

CsvFollower::Line CsvFollower::ReadLine(std::string& line, std::string& error) {
    for (;;) {
        if (file_.empty()) return Line::None;
        if (!Open(error)) return Line::None;
        const size_t from = static_cast<size_t>(offset_ - blockAt_);
        const size_t end = offset_ >= blockAt_ && from < block_.size() ? block_.find('\n', from)
                                                                       : std::string::npos;
        if (end != std::string::npos) {
            line.assign(block_, from, end - from);
            offset_ = blockAt_ + end + 1;
            return Line::Row;
        }
        // Read on from the next unread line.
        block_.resize(kBlock);
        const ssize_t n = RetryEintr(
            [&] { return ::pread(fd_, block_.data(), kBlock, static_cast<off_t>(offset_)); });
        if (n < 0) {
            error =
                "cannot read " + folder_ + "/" + file_ + " for the MQTT feed: " + SystemText(errno);
            block_.clear();
            return Line::None;
        }
        block_.resize(static_cast<size_t>(n));
        blockAt_ = offset_;
        if (block_.find('\n') != std::string::npos) continue;
        // A block without a line end is a line no recorder writes: passed.
        if (block_.size() == kBlock) {
            offset_ += kBlock;
            continue;
        }
        return Line::None;
    }
}

CsvFollower::Step CsvFollower::Next(Row& out, std::string& error) {
    for (;;) {
        std::string line;
        std::string failure;
        if (ReadLine(line, failure) != Line::Row) {
            if (!failure.empty()) {
                error = failure;
                // Left out rather than tried for ever: the files after it still count.
                if (!Advance(false)) Close();
                return Step::Failed;
            }
            if (Advance(false)) continue;
            return Step::Waiting;
        }
        RecordedRow parsed;
        if (ParseRecordingLine(line, parsed) != LineKind::Row) continue;
        ++row_;
        if (inRun_) ++runRows_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string* field[3] = {&out.x, &out.y, &out.temperature};
        size_t at = 0;
        for (std::string* f : field) {
            const size_t comma = line.find(',', at);
            f->assign(line, at, comma - at);
            at = comma + 1;
        }
        LocalTime& t = out.at;
        t.year = parsed.year;
        t.month = parsed.month;
        t.day = parsed.day;
        t.hour = parsed.hour;
        t.minute = parsed.minute;
        t.second = parsed.second;
        t.millisecond = parsed.millisecond;
        // The file keeps local time only; in an hour a clock change repeats, the first pass.
        const int64_t local = parsed.LocalMs() / 1000;
        const LocalZone::Offsets o = zone_.At(local);
        t.utcOffsetMinutes = (o.count > 0 ? o.first : zone_.OffsetAt(local)) / 60;
        return Step::Row;
    }
}

uint64_t CsvFollower::Skip(uint64_t n, bool oldOnly, std::string& error) {
    uint64_t passed = 0;
    while (passed < n) {
        std::string line;
        if (ReadLine(line, error) != Line::Row) {
            if (!error.empty() || !Advance(oldOnly)) break;
            continue;
        }
        RecordedRow parsed;
        if (ParseRecordingLine(line, parsed) != LineKind::Row) continue;
        ++row_;
        if (inRun_) ++runRows_;
        ++passed;
    }
    return passed;
}
