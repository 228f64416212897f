#include "PortNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "TcpAddress.h"

std::string PortName(int portnr) {
    char text[16];
    std::snprintf(text, sizeof text, "COM%d", portnr);
    return text;
}

bool PosixPortFileSystem::Exists(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool PosixPortFileSystem::EntryExists(const std::string& path) const {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool PosixPortFileSystem::IsCharDevice(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::string PosixPortFileSystem::ReadLine(const std::string& path) const {
    std::ifstream in(path);
    std::string line;
    if (in) std::getline(in, line);
    return line;
}

std::string PosixPortFileSystem::Resolve(const std::string& path) const {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return "";
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::vector<std::string> PosixPortFileSystem::Names(const std::string& folder) const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

PortMap::PortMap(std::string portsDir) : portsDir_(std::move(portsDir)) {}

std::string PortMap::OverridePath(int portnr) const {
    return portsDir_ + "/" + PortName(portnr);
}

std::string PortMap::DefaultDevicePath(int portnr) {
    struct Range {
        int first;
        const char* prefix;
    };
    static const Range kRanges[] = {
        {1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}, {97, "/dev/ttyAMA"}};
    for (const Range& r : kRanges) {
        if (portnr >= r.first && portnr < r.first + 32)
            return r.prefix + std::to_string(portnr - r.first);
    }
    return "";
}

void PortMap::PinDevicePath(int portnr, std::string devicePath) {
    pinnedPort_ = portnr;
    pinnedPath_ = std::move(devicePath);
}

std::string PortMap::DevicePath(int portnr, const PortFileSystem& fs) const {
    if (portnr < 1 || portnr >= kMaxSerialPortNum) return "";
    if (portnr == pinnedPort_) return pinnedPath_;
    const std::string over = OverridePath(portnr);
    // A link whose adapter is unplugged still names this port: opening it fails,
    // where the table's device would be some other sensor.
    if (fs.EntryExists(over)) return over;
    return DefaultDevicePath(portnr);
}

std::string PortMap::ServerAddress(int portnr, const PortFileSystem& fs) const {
    const std::string path = DevicePath(portnr, fs);
    if (TcpAddress::IsAddress(path)) return path;
    // Reading a tty would wait for bytes from the line: only plain files hold addresses.
    if (path.empty() || !fs.Exists(path) || fs.IsCharDevice(path)) return "";
    const std::string line = fs.ReadLine(path);
    TcpAddress address;
    if (!TcpAddress::Parse(line, address)) return "";
    const size_t first = line.find_first_not_of(" \t");
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

bool PortMap::MalformedAddress(int portnr, const PortFileSystem& fs, std::string& why) const {
    const std::string path = DevicePath(portnr, fs);
    std::string text = path;
    if (!TcpAddress::LooksLikeAddress(text)) {
        if (path.empty() || !fs.Exists(path) || fs.IsCharDevice(path)) return false;
        text = fs.ReadLine(path);
        if (!TcpAddress::LooksLikeAddress(text)) return false;
    }
    TcpAddress ignored;
    std::string problem;
    if (TcpAddress::Parse(text, ignored, &problem)) return false;
    if (text != path) {
        const size_t first = text.find_first_not_of(" \t");
        text = path + " holds '" + text.substr(first, text.find_last_not_of(" \t\r") - first + 1) +
               "'";
    } else {
        text = "'" + text + "'";
    }
    why = text + ": " + problem;
    return true;
}

std::string PortMap::Describe(int portnr, const PortFileSystem& fs) const {
    const std::string path = DevicePath(portnr, fs);
    if (path.empty()) return "";
    std::string malformed;
    if (MalformedAddress(portnr, fs, malformed)) return malformed;
    const std::string server = ServerAddress(portnr, fs);
    if (!server.empty()) return server == path ? server : server + ", through " + path;
    const std::string device = fs.Resolve(path);
    const bool linked = path != DefaultDevicePath(portnr);
    if (device.empty()) return path + (linked ? " (its device is gone)" : " (not there)");
    std::string text = device;
    // udev's by-id names stay the same across replugging and reboots; ttyUSB numbers do not.
    const std::string byId = "/dev/serial/by-id";
    for (const std::string& name : fs.Names(byId)) {
        if (fs.Resolve(byId + "/" + name) == device) {
            text += " (" + byId + "/" + name + ")";
            break;
        }
    }
    if (linked && path != device) text += ", through " + path;
    return text;
}

std::vector<int> PortMap::Discover(const PortFileSystem& fs) const {
    std::vector<int> ports;
    for (int n = 1; n < kMaxSerialPortNum; ++n) {
        const std::string over = OverridePath(n);
        if (fs.EntryExists(over)) {
            // A link to a device that has gone is no port, though the link remains.
            // A malformed address is listed too: opening it tells what is wrong.
            std::string malformed;
            if (fs.IsCharDevice(over) || !ServerAddress(n, fs).empty() ||
                MalformedAddress(n, fs, malformed))
                ports.push_back(n);
            continue;
        }
        const std::string path = DefaultDevicePath(n);
        if (path.empty() || !fs.IsCharDevice(path)) continue;
        if (n <= 32) {
            // Every PC kernel creates ttyS0-31 whether or not a UART sits behind
            // them; only those with a device and a known UART type are real.
            const std::string sys = "/sys/class/tty/ttyS" + std::to_string(n - 1);
            if (!fs.Exists(sys + "/device")) continue;
            const std::string type = fs.ReadLine(sys + "/type");
            if (type.empty() || type == "0") continue;
        }
        ports.push_back(n);
    }
    return ports;
}
