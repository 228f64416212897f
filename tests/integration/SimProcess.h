#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A tiltsim process on a fresh pseudo-terminal: the sensor on the far side of
// the line. Ended with SIGTERM when the object goes.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args);
    // Another partner program that says where it serves on its first line.
    SimProcess(const std::string& program, const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return !ptyPath_.empty(); }
    // tiltsim's first line: the terminal's path, or with --listen its URL and port.
    const std::string& PtyPath() const { return ptyPath_; }
    void Signal(int sig) const;
    // Ends the process and returns its exit status (-1 if it did not exit normally).
    int Stop();

private:
    pid_t pid_ = -1;
    std::string ptyPath_;
};

// A scratch "config/ports" folder with COM<n> links, removed with the object.
class PortsDir {
public:
    PortsDir();
    ~PortsDir();
    void Link(int portnr, const std::string& target) const;
    const std::string& Path() const { return path_; }

private:
    std::string root_;
    std::string path_;
};
