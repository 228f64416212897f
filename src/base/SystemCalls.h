#pragma once

#include <cerrno>
#include <cstring>
#include <string>

// Blocking and interruptible calls are retried when a signal lands in them: a
// terminal or a debugger may deliver SIGWINCH, SIGCHLD, ... at any time.
template <typename F>
auto RetryEintr(F call) -> decltype(call()) {
    decltype(call()) r;
    do {
        r = call();
    } while (r == -1 && errno == EINTR);
    return r;
}

// The system's text for an errno value.
inline std::string SystemText(int err) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return text ? text : "";
}
