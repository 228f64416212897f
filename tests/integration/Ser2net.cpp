#include "Ser2net.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FindProgram.h"
#include "SimServer.h"
#include "TcpLine.h"

Ser2net::Ser2net(const std::string& device, const std::string& accepter, const std::string& line) {
    char tmpl[] = "/tmp/ser2net-test-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    port_ = SimServer::RefusingPort();
    const std::string config = dir_ + "/ser2net.yaml";
    std::ofstream(config) << "connection: &line\n  accepter: " << accepter << ",127.0.0.1," << port_
                          << "\n  connector: serialdev," << device << "," << line << ",local\n";
    const std::string pidFile = dir_ + "/pid";
    const std::string program = FindProgram("ser2net");
    pid_ = ::fork();
    if (pid_ == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        // -n: stay in the foreground, -u: no UUCP lock files outside the temp folder.
        ::execl(program.c_str(), "ser2net", "-n", "-u", "-P", pidFile.c_str(), "-c", config.c_str(),
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ready_ && std::chrono::steady_clock::now() < deadline) {
        const int fd = TcpLine::Connect({LinkScheme::RawTcp, "127.0.0.1", std::to_string(port_)});
        ready_ = fd >= 0;
        if (ready_) ::close(fd);
        if (!ready_) ::usleep(20000);
    }
}

Ser2net::~Ser2net() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(dir_);
}

PtySensor::PtySensor(const SimulatorOptions& options, double now) : sim_(options), now_(now) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ::grantpt(master_);
    ::unlockpt(master_);
    char name[128] = {};
    ::ptsname_r(master_, name, sizeof name);
    path_ = name;
    // Held open, so the master never sees a hang-up while the server reopens.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread(&PtySensor::Serve, this);
}

PtySensor::~PtySensor() {
    const uint64_t one = 1;
    (void)!::write(stop_, &one, sizeof one);
    thread_.join();
    for (int fd : {master_, slave_, stop_}) ::close(fd);
}

void PtySensor::Serve() {
    for (;;) {
        pollfd fds[2] = {{stop_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[0].revents) return;
        uint8_t in[512];
        const ssize_t n = ::read(master_, in, sizeof in);
        if (n <= 0) continue;
        for (const auto& frame : sim_.Feed(in, static_cast<size_t>(n), now_)) {
            (void)!::write(master_, frame.data(), frame.size());
            ++replies_;
        }
    }
}
