#include "RecordingExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

#include "LocalZone.h"
#include "SystemCalls.h"

namespace {

constexpr char kTidyHeader[] = "address,time,x_deg,y_deg,temperature_c\n";
// Rows are handed to the file in blocks of about this size.
constexpr size_t kFlushBytes = 1 << 20;

char* PutPadded(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

// Writes the rows of all traces merged by time (the lower address first on
// equal stamps), calling `flush` whenever the text has grown large.
class TidyWriter {
public:
    explicit TidyWriter(std::function<bool(std::string&)> flush) : flush_(std::move(flush)) {}

    bool Write(const Recording& r, int64_t fromUtcMs, int64_t toUtcMs) {
        text_.reserve(kFlushBytes + 256);
        text_ = kTidyHeader;
        using Head = std::pair<int64_t, size_t>;  // stamp, trace
        std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
        std::vector<size_t> at(r.traces.size());
        for (size_t i = 0; i < r.traces.size(); ++i) {
            const std::vector<int64_t>& t = r.traces[i].utcMs;
            at[i] =
                static_cast<size_t>(std::lower_bound(t.begin(), t.end(), fromUtcMs) - t.begin());
            if (at[i] < t.size() && t[at[i]] <= toUtcMs) heads.emplace(t[at[i]], i);
        }
        while (!heads.empty()) {
            const size_t i = heads.top().second;
            heads.pop();
            const RecordedTrace& t = r.traces[i];
            Row(t, at[i]);
            if (++at[i] < t.Size() && t.utcMs[at[i]] <= toUtcMs) heads.emplace(t.utcMs[at[i]], i);
            if (text_.size() >= kFlushBytes && !flush_(text_)) return false;
        }
        return flush_(text_);
    }

private:
    void Row(const RecordedTrace& t, size_t i) {
        char line[160];
        char* p = line;
        if (t.address >= 0) p = std::to_chars(p, line + sizeof line, t.address).ptr;
        *p++ = ',';
        p = Time(p, t.utcMs[i]);
        *p++ = ',';
        p = Value(p, line + sizeof line, t.x[i], t.xDecimals[i]);
        *p++ = ',';
        p = Value(p, line + sizeof line, t.y[i], t.yDecimals[i]);
        *p++ = ',';
        p = Value(p, line + sizeof line, t.temperature[i], t.temperatureDecimals[i]);
        *p++ = '\n';
        text_.append(line, static_cast<size_t>(p - line));
    }

    // to_chars prints the shortest digits that are the recorded text again,
    // locale-free, with the recorded decimals.
    static char* Value(char* p, char* end, double v, uint8_t decimals) {
        if (std::isnan(v)) return p;
        return std::to_chars(p, end, v, std::chars_format::fixed, decimals).ptr;
    }

    char* Time(char* p, int64_t utcMs) {
        const int64_t utcSeconds = FloorDiv(utcMs, 1000);
        const int millisecond = static_cast<int>(utcMs - utcSeconds * 1000);
        const int32_t offset = zone_.OffsetAt(utcSeconds);
        const int64_t local = utcSeconds + offset;
        const int64_t days = FloorDiv(local, 86400);
        const int secondOfDay = static_cast<int>(local - days * 86400);
        int year = 0, month = 0, day = 0;
        CivilFromDays(days, year, month, day);
        p = PutPadded(p, year, 4);
        *p++ = '-';
        p = PutPadded(p, month, 2);
        *p++ = '-';
        p = PutPadded(p, day, 2);
        *p++ = 'T';
        p = PutPadded(p, secondOfDay / 3600, 2);
        *p++ = ':';
        p = PutPadded(p, secondOfDay / 60 % 60, 2);
        *p++ = ':';
        p = PutPadded(p, secondOfDay % 60, 2);
        *p++ = '.';
        p = PutPadded(p, millisecond, 3);
        *p++ = offset < 0 ? '-' : '+';
        const int magnitude = std::abs(offset) / 60;
        p = PutPadded(p, magnitude / 60, 2);
        *p++ = ':';
        return PutPadded(p, magnitude % 60, 2);
    }

    std::function<bool(std::string&)> flush_;
    std::string text_;
    LocalZone zone_;
};

}  // namespace

std::string ExportText(const Recording& recording, int64_t fromUtcMs, int64_t toUtcMs) {
    std::string all;
    TidyWriter writer([&all](std::string& text) {
        all += text;
        text.clear();
        return true;
    });
    writer.Write(recording, fromUtcMs, toUtcMs);
    return all;
}

bool ExportRecording(const Recording& recording, int64_t fromUtcMs, int64_t toUtcMs,
                     const std::string& path, std::string& error) {
    const int fd = RetryEintr(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); });
    if (fd < 0) {
        error = path + ": " + SystemText(errno);
        return false;
    }
    // Only a file of our own making goes again on failure, never a device.
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    int err = 0;
    TidyWriter writer([&](std::string& text) {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n =
                RetryEintr([&] { return ::write(fd, text.data() + done, text.size() - done); });
            if (n < 0) {
                err = errno;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        text.clear();
        return true;
    });
    const bool written = writer.Write(recording, fromUtcMs, toUtcMs);
    // A full disk may show only at close (NFS) or at fsync.
    if (written && ::fsync(fd) != 0 && errno != EINVAL) err = errno;
    if (::close(fd) != 0 && err == 0 && written) err = errno;
    if (!written || err != 0) {
        error = path + ": " + SystemText(err);
        if (regular) ::unlink(path.c_str());
        return false;
    }
    return true;
}
