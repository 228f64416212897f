#include "CsvFormat.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

const char kCsvHeader[] = "X(deg),Y(deg),Temperature, Time";
const char kCsvLineEnd[] = "\r\n";

namespace {

// snprintf would do, but rows are made on the measurement path at up to the
// sensor's output rate; this is several times cheaper.
char* PutDecimal(char* p, int value) {
    unsigned int v = static_cast<unsigned int>(value);
    if (value < 0) {
        *p++ = '-';
        v = 0u - v;
    }
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

}  // namespace

namespace csv_detail {

size_t WriteTimeStamp(char* out, const LocalTime& time) {
    char* p = out;
    p = PutDecimal(p, time.year);
    *p++ = '-';
    p = PutDecimal(p, time.month);
    *p++ = '-';
    p = PutDecimal(p, time.day);
    *p++ = ' ';
    p = PutDecimal(p, time.hour);
    *p++ = ':';
    p = PutDecimal(p, time.minute);
    *p++ = ':';
    p = PutDecimal(p, time.second);
    *p++ = '\'';
    p = PutDecimal(p, time.millisecond);
    *p++ = ' ';
    return static_cast<size_t>(p - out);
}

void AppendRowWithStamp(std::string& out, const std::string& x, const std::string& y,
                        const std::string& temperature, const char* stamp, size_t stampSize) {
    // One growth check and plain copies: this runs once per measurement.
    const size_t at = out.size();
    out.resize(at + x.size() + y.size() + temperature.size() + stampSize + 5);
    char* p = &out[at];
    const auto put = [&p](const char* text, size_t size) {
        std::memcpy(p, text, size);
        p += size;
    };
    put(x.data(), x.size());
    *p++ = ',';
    put(y.data(), y.size());
    *p++ = ',';
    put(temperature.data(), temperature.size());
    *p++ = ',';
    put(stamp, stampSize);
    put(kCsvLineEnd, 2);
}

}  // namespace csv_detail

std::string MakeCsvFileName(const std::string& folder, const std::string& prefix,
                            const LocalTime& time) {
    char stamp[80];  // room for any int fields
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    std::string name;
    name.reserve(folder.size() + prefix.size() + 20);
    name.append(folder).append("/").append(prefix).append("_").append(stamp).append(".csv");
    return name;
}

std::string FormatRowTimeStamp(const LocalTime& time) {
    char stamp[csv_detail::kTimeStampCapacity];
    return std::string(stamp, csv_detail::WriteTimeStamp(stamp, time));
}

void AppendCsvRow(std::string& out, const std::string& x, const std::string& y,
                  const std::string& temperature, const LocalTime& time) {
    char stamp[csv_detail::kTimeStampCapacity];
    const size_t stampSize = csv_detail::WriteTimeStamp(stamp, time);
    csv_detail::AppendRowWithStamp(out, x, y, temperature, stamp, stampSize);
}

std::string DefaultDataFolder(const std::string& executablePath) {
    const std::filesystem::path exe = std::filesystem::path(executablePath).lexically_normal();
    std::string above = exe.parent_path().parent_path().string();
    // An executable named relative to the working folder, e.g. "bin/tiltscope":
    // the folder above "bin" is the working folder itself.
    if (above.empty()) above = ".";
    // The root has its own separator; do not double it.
    if (above.back() == '/') above.pop_back();
    return above + "/data";
}

std::string NumberedCsvFileName(const std::string& path, int n) {
    const std::string suffix = ".csv";
    const bool csv = path.size() >= suffix.size() &&
                     path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string stem = csv ? path.substr(0, path.size() - suffix.size()) : path;
    return stem + "-" + std::to_string(n) + (csv ? suffix : "");
}
