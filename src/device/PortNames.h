#pragma once

#include <string>
#include <vector>

// Serial ports are known to the rest of the system by number (1..199) and the
// display name "COM%d". This maps the numbers onto Linux device paths.

constexpr int kMaxSerialPortNum = 200;

std::string PortName(int portnr);

// What discovery and naming ask of the file system; tests substitute a fake tree.
class PortFileSystem {
public:
    virtual ~PortFileSystem() = default;
    // True when `path` (links followed) exists at all.
    virtual bool Exists(const std::string& path) const = 0;
    // True when `path` itself is in its folder, even a link whose target is gone.
    virtual bool EntryExists(const std::string& path) const = 0;
    // True when `path` (links followed) is a character device.
    virtual bool IsCharDevice(const std::string& path) const = 0;
    // The first line of a small text file, or "" when it cannot be read.
    virtual std::string ReadLine(const std::string& path) const = 0;
    // `path` with every link followed, or "" when it leads nowhere.
    virtual std::string Resolve(const std::string&) const { return ""; }
    // The names in a folder, or none when it cannot be read.
    virtual std::vector<std::string> Names(const std::string&) const { return {}; }
};

// The real file system.
class PosixPortFileSystem : public PortFileSystem {
public:
    bool Exists(const std::string& path) const override;
    bool EntryExists(const std::string& path) const override;
    bool IsCharDevice(const std::string& path) const override;
    std::string ReadLine(const std::string& path) const override;
    std::string Resolve(const std::string& path) const override;
    std::vector<std::string> Names(const std::string& folder) const override;
};

// Where port numbers lead. `portsDir` holds optional overrides "COM<n>" (links
// or files), relative to the working folder by default, next to Config.ini.
class PortMap {
public:
    explicit PortMap(std::string portsDir = "../config/ports");

    // The override if it is in the folder, even as a dangling link, else the default table:
    // COM1-32 ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31, COM97-128 ttyAMA0-31.
    // Numbers outside every range give "".
    std::string DevicePath(int portnr, const PortFileSystem& fs) const;
    // Gives one number a fixed device path that wins over the folder and the
    // table: a program told "/dev/..." opens exactly that, whatever is linked.
    void PinDevicePath(int portnr, std::string devicePath);
    std::string OverridePath(int portnr) const;
    // "tcp://HOST:PORT" when the number is a serial device server (a ports file
    // holding that address, or such a pinned path), else "".
    std::string ServerAddress(int portnr, const PortFileSystem& fs) const;
    static std::string DefaultDevicePath(int portnr);
    // True when the number leads to text written as a network address that is
    // none ("tcp://host", "TCP://host:1"), with `why` naming the file, its text
    // and what is wrong: such a port is refused, never opened as a file.
    bool MalformedAddress(int portnr, const PortFileSystem& fs, std::string& why) const;

    // Which device a number is, for the operator: the device path, its stable
    // name under /dev/serial/by-id when it has one, and the link in the ports
    // folder when one gives the number.
    std::string Describe(int portnr, const PortFileSystem& fs) const;

    // Numbers 1..199 whose device exists and is a real serial port, or that name
    // a serial device server (never contacted here), ascending.
    std::vector<int> Discover(const PortFileSystem& fs) const;

    const std::string& PortsDir() const { return portsDir_; }

private:
    std::string portsDir_;
    int pinnedPort_ = 0;
    std::string pinnedPath_;
};
