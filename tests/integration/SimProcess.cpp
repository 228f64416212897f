#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

// Reads tiltsim's first line (its pty path) with a deadline, so a broken
// simulator fails the test instead of hanging it.
std::string ReadFirstLine(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) break;
        if (c == '\n') return line;
        line += c;
    }
    return "";
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& args) : SimProcess(TILTSIM_PATH, args) {}

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::signal(SIGPIPE, SIG_IGN);  // inherited: stdout closes once the path is read
        std::vector<char*> argv;
        std::string path = program;
        argv.push_back(path.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid_ > 0) ptyPath_ = ReadFirstLine(out[0], std::chrono::seconds(10));
    // Later output goes nowhere; tiltsim ignores a closed stdout.
    ::close(out[0]);
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Signal(int sig) const {
    if (pid_ > 0) ::kill(pid_, sig);
}

int SimProcess::Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PortsDir::PortsDir() {
    char pattern[] = "/tmp/tiltscope-ports-XXXXXX";
    root_ = ::mkdtemp(pattern);
    path_ = root_ + "/ports";
    std::filesystem::create_directories(path_);
}

PortsDir::~PortsDir() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

void PortsDir::Link(int portnr, const std::string& target) const {
    const std::string link = path_ + "/COM" + std::to_string(portnr);
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(target, link);
}
