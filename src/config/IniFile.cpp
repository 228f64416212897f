#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "Decimal.h"
#include "SystemCalls.h"

namespace {

const char kBom[] = "\xEF\xBB\xBF";
const size_t kBomSize = sizeof kBom - 1;

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\v' || ch == '\f';
}

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// ASCII folding only: the keys are ASCII, and the C library's tolower would
// follow whatever LC_CTYPE the window set and fold bytes of 8-bit text too.
char Fold(char ch) {
    return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

// The section name of a header line such as " [Config] ", or false.
bool SectionName(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// Key and value of an entry line; false for lines without '=' or with an empty key.
bool Entry(const std::string& line, std::string& key, std::string& value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    if (key.empty()) return false;
    value = Trim(line.substr(eq + 1));
    return true;
}

struct Line {
    std::string text;
    std::string eol;  // empty only for a last line without a line end
};

struct Contents {
    std::vector<Line> lines;
    std::string eol = "\r\n";  // for new lines; the line end the settings file has always had
    bool bom = false;
    bool read = false;
};

Contents Load(const std::string& path) {
    Contents c;
    // Only a regular file: opening a fifo would block the window for good.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return c;
    std::ifstream in(path, std::ios::binary);
    if (!in) return c;
    // Streamed into a buffer rather than iterated, which throws on a read error.
    std::ostringstream all;
    const bool empty = in.peek() == std::char_traits<char>::eof();
    if (in.bad() || (!empty && !(all << in.rdbuf()))) return c;
    const std::string data = all.str();
    c.read = true;
    size_t start = 0;
    // Windows editors like to put a byte-order mark in front of the header.
    if (data.compare(0, kBomSize, kBom) == 0) {
        c.bom = true;
        start = kBomSize;
    }
    size_t crlf = 0;
    size_t lf = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        Line line;
        if (end == std::string::npos) {
            end = data.size();
        } else {
            line.eol = "\n";
        }
        line.text = data.substr(start, end - start);
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.eol = "\r\n";
        }
        if (line.eol == "\r\n") ++crlf;
        if (line.eol == "\n") ++lf;
        c.lines.push_back(std::move(line));
        start = end + 1;
    }
    if (lf > crlf) c.eol = "\n";
    return c;
}

// Header line of the section (npos when missing) and the index where it ends.
void FindSection(const Contents& c, const std::string& section, size_t& header, size_t& end) {
    header = std::string::npos;
    end = c.lines.size();
    std::string name;
    for (size_t i = 0; i < c.lines.size(); ++i) {
        if (!SectionName(c.lines[i].text, name)) continue;
        if (header != std::string::npos) {
            end = i;
            return;
        }
        if (SameText(name, section)) header = i;
    }
}

// Index of the first line of the section holding `key`, or npos.
size_t FindKey(const Contents& c, size_t header, size_t end, const std::string& key,
               std::string* value) {
    if (header == std::string::npos) return std::string::npos;
    std::string k, v;
    for (size_t i = header + 1; i < end; ++i) {
        if (Entry(c.lines[i].text, k, v) && SameText(k, key)) {
            if (value) *value = v;
            return i;
        }
    }
    return std::string::npos;
}

bool Lookup(const std::string& path, const std::string& section, const std::string& key,
            std::string& value) {
    const Contents c = Load(path);
    size_t header, end;
    FindSection(c, section, header, end);
    return FindKey(c, header, end, Trim(key), &value) != std::string::npos;
}

// A line break in a value would end the entry early and turn the rest into a
// stray line; the value is kept on one line instead.
std::string OneLine(const std::string& text) {
    std::string s = text;
    for (char& ch : s) {
        if (ch == '\r' || ch == '\n') ch = ' ';
    }
    return s;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            RetryEintr([&] { return ::write(fd, data.data() + done, data.size() - done); });
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Written beside the file and renamed over it, so that a power cut on site
// leaves the old settings or the new ones, never half a file. The name is unique
// so that tiltlog and the window never share a half-written temp file.
// A folder we may not add to, holding a file we may write (a shared install
// made read-only but for the settings): the file is rewritten where it is.
// Not atomic, so only the fallback.
bool RewriteInPlace(const std::string& target, const std::string& data) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0;
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool ReplaceFile(const std::string& target, const std::string& data, const struct stat* old) {
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    // Created with the file's own mode and given its owner before a byte is in
    // it: a copy left by a crash is never more open than the settings are.
    const mode_t mode = old ? (old->st_mode & 0777) : 0666;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return old && errno == EACCES && RewriteInPlace(target, data);
    bool ok = true;
    if (old) {
        // Ownership may fail for a normal user, which cannot give files away
        // anyway; the mode must carry over exactly, whatever the umask took.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
            // not ours to give away: the file stays the writer's
        }
        ok = ::fchmod(fd, old->st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, data);
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

CIniFile::CIniFile(std::string path, std::string section)
    : path_(std::move(path)), section_(std::move(section)) {}

bool CIniFile::Exists() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CIniFile::ReadString(const std::string& key, const std::string& fallback) const {
    std::string value;
    if (!Lookup(path_, section_, key, value)) value = fallback;
    if (value.size() > kReadLimit - 1) value.resize(kReadLimit - 1);
    return value;
}

bool CIniFile::HasKey(const std::string& key) const {
    std::string value;
    return Lookup(path_, section_, key, value);
}

int CIniFile::ReadInt(const std::string& key, int fallback) const {
    std::string value;
    if (!Lookup(path_, section_, key, value)) return fallback;
    // The digits it begins with; saturated, since wrapping would turn an absurd
    // index into a plausible one.
    const std::string digits = value.substr(0, value.find_first_not_of("0123456789"));
    uint64_t n = 0;
    if (digits.empty()) return 0;
    if (!ParseDecimal(digits, INT_MAX, n)) return INT_MAX;
    return static_cast<int>(n);
}

bool CIniFile::WriteString(const std::string& key, const std::string& value) const {
    Contents c = Load(path_);
    if (!c.read && Exists()) return false;  // there but unreadable: do not clobber it

    const std::string name = Trim(OneLine(key));
    const Line entry{name + "=" + OneLine(value), c.eol};
    size_t header, end;
    FindSection(c, section_, header, end);
    if (header == std::string::npos) {
        c.lines.push_back({"[" + section_ + "]", c.eol});
        c.lines.push_back(entry);
    } else {
        const size_t at = FindKey(c, header, end, name, nullptr);
        if (at != std::string::npos) {
            c.lines[at].text = entry.text;
        } else {
            // After the section's last non-blank line, so blank separator lines
            // stay in front of the next section.
            size_t last = header;
            for (size_t i = header + 1; i < end; ++i) {
                if (!Trim(c.lines[i].text).empty()) last = i;
            }
            c.lines.insert(c.lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, entry);
        }
    }

    std::string out = c.bom ? kBom : "";
    for (const Line& line : c.lines) out += line.text + (line.eol.empty() ? c.eol : line.eol);

    std::string target = path_;
    struct stat named {};
    if (::lstat(path_.c_str(), &named) != 0) return ReplaceFile(target, out, nullptr);
    if (S_ISLNK(named.st_mode)) {
        // The link is the user's choice of where the settings live: replace the
        // file it points to, not the link. A link to nowhere stays as it is.
        char* resolved = ::realpath(path_.c_str(), nullptr);
        if (!resolved) return false;
        target = resolved;
        std::free(resolved);
    }
    struct stat st {};
    // Anything but a regular file (a folder, a fifo, a link to /dev/null) is
    // not ours to replace.
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Through a link only into a file of our own: a link planted in a shared
    // config folder must not let us rewrite another user's file.
    if (target != path_ && st.st_uid != ::geteuid()) return false;
    // Root may write anything, but a file without write bits was made read-only
    // by someone who meant it.
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
    return ReplaceFile(target, out, &st);
}

bool CIniFile::WriteInt(const std::string& key, int value) const {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return WriteString(key, text);
}
