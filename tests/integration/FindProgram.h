#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

// Debian puts servers (mosquitto, ser2net) in /usr/sbin, which an ordinary
// user's PATH lacks. Empty when `name` is nowhere.
inline std::string FindProgram(const std::string& name) {
    std::string dirs = ::getenv("PATH") ? ::getenv("PATH") : "";
    dirs += ":/usr/sbin:/sbin:/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string path = dirs.substr(start, end - start) + "/" + name;
        if (end > start && ::access(path.c_str(), X_OK) == 0) return path;
        start = end + 1;
    }
    return "";
}
