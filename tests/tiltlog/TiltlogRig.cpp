#include "TiltlogRig.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "DeviceTypes.h"
#include "ReceivePath.h"
#include "Settings.h"
#include "ValueText.h"

namespace {

void Put(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;  // a pty takes these few bytes at once or is gone
        p += w;
        n -= static_cast<size_t>(w);
    }
}

// A raw pty pair, as a USB adapter with nothing translating looks; 200 columns
// when it stands for a terminal, so the status line is never cut.
void MakePty(int& master, int& slave, std::string& path) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ::grantpt(master);
    ::unlockpt(master);
    char name[128] = {};
    ::ptsname_r(master, name, sizeof name);
    path = name;
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    winsize ws{};
    ws.ws_col = 200;
    ::ioctl(slave, TIOCSWINSZ, &ws);
}

}  // namespace

Rig::Rig(const std::string& simPty, size_t requestSize) : requestSize_(requestSize) {
    dir_ = TempFolder();
    link_ = dir_ + "/adapter";
    sim_ = ::open(simPty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    Plug();
}

Rig::~Rig() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        Wait();
    }
    Pull();
    for (int fd : {out_, err_, sim_}) {
        if (fd >= 0) ::close(fd);
    }
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

void Rig::Start(const std::vector<std::string>& args, bool stderrTerminal) {
    int o[2], e[2];
    std::string unused;
    ASSERT_EQ(::pipe2(o, O_CLOEXEC), 0);
    if (stderrTerminal) {
        MakePty(e[0], e[1], unused);
    } else {
        ASSERT_EQ(::pipe2(e, O_CLOEXEC), 0);
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(o[1], STDOUT_FILENO);
        ::dup2(e[1], STDERR_FILENO);
        std::vector<std::string> copy = args;
        std::vector<char*> argv{const_cast<char*>(TILTLOG_PATH)};
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(TILTLOG_PATH, argv.data());
        ::_exit(127);
    }
    ::close(o[1]);
    ::close(e[1]);
    out_ = o[0];
    err_ = e[0];
}

void Rig::Pump(int timeoutMs) {
    pollfd fds[4] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {sim_, POLLIN, 0}, {master_, POLLIN, 0}};
    if (::poll(fds, 4, timeoutMs) <= 0) return;  // EINTR too: the caller comes round again
    uint8_t buf[4096];
    const auto take = [&](int& fd, std::string& into) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) into.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        // A pty's master reports EIO once the last writer has gone.
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            ::close(fd);
            fd = -1;
        }
    };
    if (fds[0].revents) take(out_, out);
    if (fds[1].revents) take(err_, err);
    if (fds[2].revents & POLLIN) {
        const ssize_t n = ::read(sim_, buf, sizeof buf);
        if (n > 0 && master_ >= 0) {
            delivered.insert(delivered.end(), buf, buf + n);
            Put(master_, buf, static_cast<size_t>(n));
        }
    }
    if (master_ >= 0 && (fds[3].revents & POLLIN)) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) pending_.insert(pending_.end(), buf, buf + n);
        while (pending_.size() >= requestSize_) {
            ++requestsSeen;
            if (passes_ > 0) {
                --passes_;
                ++requestsPassed;
                Put(sim_, pending_.data(), requestSize_);
            }
            pending_.erase(pending_.begin(), pending_.begin() + requestSize_);
        }
    }
}

bool Rig::WaitFor(const std::function<bool()>& what, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!what()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        Pump(static_cast<int>(left.count()));
    }
    return true;
}

bool Rig::WaitForError(const std::string& text) {
    return WaitFor([&] { return err.find(text) != std::string::npos; });
}

int Rig::Wait() {
    if (pid_ <= 0) return -1;
    // Both streams end with the process; only a hung one is killed.
    const bool ended = WaitFor([this] { return out_ < 0 && err_ < 0; });
    if (!ended) ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Rig::Signal(int sig) const {
    if (pid_ > 0) ::kill(pid_, sig);
}

void Rig::CloseStdout() {
    ::close(out_);
    out_ = -1;
}

void Rig::Inject(const Bytes& bytes) {
    Put(sim_, bytes.data(), bytes.size());
}

void Rig::Pull() {
    std::error_code ec;
    std::filesystem::remove(link_, ec);
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

void Rig::Plug() {
    std::string path;
    // The rig keeps a slave open too, so the master never reports a hang-up
    // while tiltlog has the port closed.
    MakePty(master_, slave_, path);
    std::filesystem::create_symlink(path, link_);
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << "(" << row.x << "," << row.y << "," << row.t << ")";
}

std::vector<Row> WindowRows(const Bytes& received, int protocol, uint8_t address,
                            const std::string& ratio, const std::string& xRange,
                            const std::string& yRange) {
    DecodeParameters decode;
    decode.ResolutionFactor = ResolutionFromText(ratio);
    decode.XRangeOffset = static_cast<float>(LeadingNumber(xRange));
    decode.YRangeOffset = static_cast<float>(LeadingNumber(yRange));
    const std::string f = SelectValueFormat(ratio, "%.2f");
    std::vector<Row> rows;
    KeptValue x, y, t;
    ReceivePath path(decode, ReceiveHandlers{[&](const Measurement& m) {
                                                 if (!m.HasAnyValue()) return;
                                                 x.Take(m.hasX, m.x);
                                                 y.Take(m.hasY, m.y);
                                                 t.Take(m.hasTemperature, m.temperature);
                                                 rows.push_back({x.Text(f), y.Text(f), t.Text(f)});
                                             },
                                             nullptr, nullptr, nullptr});
    path.SetDeviceAddress(address);
    path.OnRxBlock(protocol == kProtocolModbus ? MSG_RX_MODBUS : MSG_RX_TARQ, received.data(),
                   RxBlockInfo{0, static_cast<uint32_t>(received.size())});
    return rows;
}

bool CsvRows(const std::string& text, std::vector<Row>& rows) {
    static const std::regex kRow(
        R"(([^,]*),([^,]*),([^,]*),\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}'\d{1,3} )");
    const std::string header = "X(deg),Y(deg),Temperature, Time\r\n";
    if (text.compare(0, header.size(), header) != 0) return false;
    rows.clear();
    for (size_t at = header.size(), end; at < text.size(); at = end + 2) {
        end = text.find("\r\n", at);
        std::smatch m;
        const std::string line = text.substr(at, end - at);
        if (end == std::string::npos || !std::regex_match(line, m, kRow)) return false;
        rows.push_back({m[1], m[2], m[3]});
    }
    return true;
}

std::vector<Row> OnlyFileRows(const std::string& folder, const std::string& prefix) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path());
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return {};
    const std::string name = files[0].filename();
    EXPECT_TRUE(std::regex_match(name, std::regex(prefix + R"(_\d{14}\.csv)"))) << name;
    std::ostringstream text;
    text << std::ifstream(files[0], std::ios::binary).rdbuf();
    std::vector<Row> rows;
    EXPECT_TRUE(CsvRows(text.str(), rows));
    return rows;
}

std::string TempFolder() {
    char pattern[] = "/tmp/tiltlog-test-XXXXXX";
    return ::mkdtemp(pattern);
}
