#include "Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>

#include "SystemCalls.h"

void Console::Write(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            RetryEintr([&] { return ::write(fd_, text.data() + done, text.size() - done); });
        if (n <= 0) return;  // nowhere to complain to
        done += static_cast<size_t>(n);
    }
}

int Console::Width() const {
    winsize ws{};
    if (::ioctl(fd_, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0) return 80;
    return ws.ws_col;
}

void Console::Message(const std::string& text) {
    std::string line = statusShown_ ? "\r\033[K" : "";
    line += "tiltlog: " + text + "\n";
    statusShown_ = false;
    Write(line);
}

void Console::Status(const StatusFigures& figures) {
    if (!terminal_) return;
    // One column spare: a line that fills the last column wraps on some terminals.
    Write("\r" + FormatStatus(figures, Width() - 1) + "\033[K");
    statusShown_ = true;
}

void Console::EndStatus() {
    if (statusShown_) Write("\n");
    statusShown_ = false;
}

namespace {

std::string FormatBusStatus(const StatusFigures& s, int width) {
    if (!s.linkOpen) return "waiting for " + s.port;
    // The feed's queue first: it is one figure, and the sensors give way at the end.
    std::string t = s.feed;
    const size_t w = width > 0 ? static_cast<size_t>(width) : SIZE_MAX;
    for (size_t i = 0; i < s.sensors.size(); ++i) {
        const SensorFigures& f = s.sensors[i];
        const std::string part = (t.empty() ? "" : "  ") + ("A" + std::to_string(f.address)) + " " +
                                 std::to_string(f.rate) + " Hz miscount " +
                                 std::to_string(f.miscount) + " rows " + std::to_string(f.rows);
        const size_t left = s.sensors.size() - i - 1;
        // Room is kept for the summary of those that would not fit after this one.
        const std::string more = "  +" + std::to_string(left) + " more";
        if (t.size() + part.size() + (left > 0 ? more.size() : 0) > w) {
            return t + "  +" + std::to_string(left + 1) + " more";
        }
        t += part;
    }
    return t;
}

}  // namespace

std::string FormatStatus(const StatusFigures& s, int width) {
    if (!s.sensors.empty()) return FormatBusStatus(s, width);
    std::string t =
        s.linkOpen ? std::to_string(s.framesPerSecond) + " Hz" : "waiting for " + s.port;
    t += "  miscount " + std::to_string(s.miscount);
    t += "  rows " + std::to_string(s.rows) + " (" + std::to_string(s.rowsOnDisk) + " written)  ";
    if (!s.feed.empty()) t += s.feed + "  ";
    if (width <= 0 || t.size() + s.file.size() <= static_cast<size_t>(width)) return t + s.file;
    const size_t w = static_cast<size_t>(width);
    const size_t room = w > t.size() ? w - t.size() : 0;
    if (room <= 3) return t.substr(0, t.size() - 2);
    // Not from inside a UTF-8 sequence.
    size_t from = s.file.size() - (room - 3);
    while (from < s.file.size() && (static_cast<unsigned char>(s.file[from]) & 0xC0) == 0x80)
        ++from;
    return t + "..." + s.file.substr(from);
}

std::string OneLine(const std::string& text) {
    std::string line;
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = true;
            continue;
        }
        if (blank && !line.empty()) line += ' ';
        blank = false;
        line += c;
    }
    return line;
}
