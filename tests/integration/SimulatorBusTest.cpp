// tiltsim as an RS-485 field: several sensors on one line, the line's own pace,
// and the line served over TCP as a converter serves it.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "LineEndIo.h"
#include "LinePacer.h"
#include "ModbusProtocol.h"
#include "SensorBus.h"
#include "SimProcess.h"
#include "TarqProtocol.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr double kTolerance = 0.0051;  // half a resolution step and single precision
constexpr size_t kTarqReplyBytes = 14;
constexpr size_t kModbusReplyBytes = 15;

// The client's end of a line: a pseudo-terminal or a TCP connection.
class LineEnd {
public:
    explicit LineEnd(int fd) : fd_(fd) {}
    ~LineEnd() {
        if (fd_ >= 0) ::close(fd_);
    }
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    static LineEnd Terminal(const std::string& path) {
        return LineEnd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    }
    // `url` as tiltsim prints it: tcp://127.0.0.1:PORT.
    static LineEnd Tcp(const std::string& url) {
        const size_t colon = url.rfind(':');
        if (url.rfind("tcp://", 0) != 0 || colon == std::string::npos) return LineEnd(-1);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(std::stoi(url.substr(colon + 1))));
        if (::inet_pton(AF_INET, url.substr(6, colon - 6).c_str(), &addr.sin_addr) != 1)
            return LineEnd(-1);
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return LineEnd(-1);
        }
        return LineEnd(fd);
    }
    LineEnd(LineEnd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

    bool IsOpen() const { return fd_ >= 0; }

    bool Write(const Bytes& bytes) const { return line_end::WriteAll(fd_, bytes, 5s); }

    // What arrived, until `count` bytes or the deadline.
    Bytes Read(size_t count, std::chrono::milliseconds limit = 5s) const {
        return line_end::ReadBytes(fd_, count, limit, count);
    }

private:
    int fd_;
};

bool CrcHolds(const Bytes& f) {
    return !f.empty() && ModbusCrc(f.data(), f.size()) == 0;
}
bool ChecksumHolds(const Bytes& f) {
    return !f.empty() && TarqChecksum(f.data(), f.size()) == f.back();
}

SimulatorOptions Options(SimProtocol protocol) {
    SimulatorOptions o;
    o.protocol = protocol;
    return o;
}

Bytes Feed(SensorBus& bus, const Bytes& request, double now) {
    Bytes all;
    for (const auto& f : bus.Feed(request.data(), request.size(), now))
        all.insert(all.end(), f.begin(), f.end());
    return all;
}

TEST(SensorBus, EachAddressAnswersWithItsOwnSignalAndAnAbsentOneGetsNothing) {
    const double t = 4.0;
    SensorBus tarq(Options(SimProtocol::Tarq), {1, 2, 3});
    SensorBus modbus(Options(SimProtocol::Modbus), {1, 2, 3});
    for (uint8_t a : {1, 2, 3}) {
        SCOPED_TRACE(int(a));
        const TiltSample want = SensorSimulator::Signal(t + SensorBus::kPhaseSecondsPerAddress * a);
        const Bytes f = Feed(tarq, BuildTarqFrame(kTarqReadAngles, a), t);
        ASSERT_EQ(f.size(), kTarqReplyBytes);
        EXPECT_EQ(f[2], a);
        EXPECT_NEAR(DecodeBcd3(&f[4], 0.01f), want.x, kTolerance);
        EXPECT_NEAR(DecodeBcd3(&f[7], 0.01f), want.y, kTolerance);
        const Bytes m = Feed(modbus, BuildModbusRead(a), t);
        ASSERT_EQ(m.size(), kModbusReplyBytes);
        EXPECT_EQ(m[0], a);
        Measurement got;
        DecodeModbusRead(m.data(), m.size(), DecodeParameters{}, got);
        EXPECT_NEAR(got.x, want.x, kTolerance);
        EXPECT_NEAR(got.y, want.y, kTolerance);
    }
    EXPECT_TRUE(Feed(tarq, BuildTarqFrame(kTarqReadAngles, 4), t).empty());
    EXPECT_TRUE(Feed(modbus, BuildModbusRead(4), t).empty());
}

TEST(SensorBus, BroadcastsAreObeyedByAllAndAnsweredByNone) {
    SensorBus tarq(Options(SimProtocol::Tarq), {1, 2});
    EXPECT_TRUE(Feed(tarq, BuildTarqFrame(kTarqReadAngles, 0xFF), 1.0).empty());
    EXPECT_TRUE(Feed(tarq, BuildTarqFrame(kTarqSetZero, 0xFF, 1), 1.0).empty());
    for (const auto& sensor : tarq.Sensors()) EXPECT_TRUE(sensor.ZeroSet());
    SensorBus modbus(Options(SimProtocol::Modbus), {1, 2});
    EXPECT_TRUE(Feed(modbus, BuildModbusWrite(0, kModbusRegZero, 0xFF), 1.0).empty());
    for (const auto& sensor : modbus.Sensors()) EXPECT_TRUE(sensor.ZeroSet());
}

TEST(SensorBus, OneAddressIsTheSensorAloneOnItsLine) {
    SensorBus bus(Options(SimProtocol::Tarq), {5});
    SimulatorOptions alone = Options(SimProtocol::Tarq);
    alone.address = 5;
    SensorSimulator sensor(alone);
    for (const Bytes& request :
         {BuildTarqFrame(kTarqReadAngles, 5), BuildTarqFrame(kTarqReadAngles, 0xFF)}) {
        EXPECT_EQ(Feed(bus, request, 7.0), sensor.OnBytes(request.data(), request.size(), 7.0));
    }
}

// Reads at `a`, preceded by a read at an address no sensor has: were the absent
// one answered, its reply would be first in line.
void ExpectBusAnswersOnlyItsAddresses(const LineEnd& line, SimProtocol protocol) {
    const bool tarq = protocol == SimProtocol::Tarq;
    const auto read = [&](uint8_t a) {
        return tarq ? BuildTarqFrame(kTarqReadAngles, a) : BuildModbusRead(a);
    };
    const size_t size = tarq ? kTarqReplyBytes : kModbusReplyBytes;
    for (uint8_t a : {1, 2, 3}) {
        SCOPED_TRACE(int(a));
        Bytes requests = read(9);
        const Bytes own = read(a);
        requests.insert(requests.end(), own.begin(), own.end());
        ASSERT_TRUE(line.Write(requests));
        const Bytes reply = line.Read(size);
        ASSERT_EQ(reply.size(), size);
        EXPECT_EQ(reply[tarq ? 2 : 0], a);
        EXPECT_TRUE(tarq ? ChecksumHolds(reply) : CrcHolds(reply));
    }
}

TEST(SimulatorBusLine, ThreeSensorsOnATerminalAnswerTheirOwnAddressesInBothProtocols) {
    for (const char* protocol : {"tarq", "modbus"}) {
        SCOPED_TRACE(protocol);
        SimProcess sim({"--protocol", protocol, "--address", "1-3"});
        ASSERT_TRUE(sim.Started());
        const LineEnd line = LineEnd::Terminal(sim.PtyPath());
        ASSERT_TRUE(line.IsOpen());
        ExpectBusAnswersOnlyItsAddresses(
            line, protocol[0] == 't' ? SimProtocol::Tarq : SimProtocol::Modbus);
    }
}

// Load only slows the line down, so a lower bound on a long reply holds however
// busy the machine is.
TEST(SimulatorBusLine, LineRatePacesEveryByteAtItsBitsOnTheWire) {
    constexpr double kBaud = 4800;
    constexpr size_t kNoise = 400;
    for (const char* parity : {"N", "E"}) {
        SCOPED_TRACE(parity);
        SimProcess sim({"--line-rate", "4800", "--turnaround-us", "20000", "--parity", parity,
                        "--noise", std::to_string(kNoise)});
        ASSERT_TRUE(sim.Started());
        const LineEnd line = LineEnd::Terminal(sim.PtyPath());
        ASSERT_TRUE(line.IsOpen());
        const size_t size = kNoise + kTarqReplyBytes;
        const auto start = Clock::now();
        ASSERT_TRUE(line.Write(BuildTarqFrame(kTarqReadAngles, 0)));
        const Bytes reply = line.Read(size, 20s);
        const std::chrono::duration<double> took = Clock::now() - start;
        ASSERT_EQ(reply.size(), size);
        EXPECT_TRUE(ChecksumHolds(Bytes(reply.end() - kTarqReplyBytes, reply.end())));
        const double bits = parity[0] == 'N' ? 10 : 11;
        EXPECT_GE(took.count(), 0.020 + static_cast<double>(size) * bits / kBaud);
    }
}

// 8 data bits, no parity: 10 bits a byte.
constexpr double kByte9600 = 10.0 / 9600.0;
constexpr double kClockSlack = 1e-9;

TEST(LinePacer, ARequestIsHeardOnlyOnceItsBytesHaveHadTheirTimeOnTheLine) {
    LinePacer pacer(9600, 10);
    EXPECT_NEAR(pacer.Heard(8, 1.0), 1.0 + 8 * kByte9600, kClockSlack);
}

TEST(LinePacer, ARequestWaitsForTheFrameOnTheLineToEnd) {
    LinePacer pacer(9600, 10);
    pacer.BeginFrame(1.0, 15);
    pacer.Sent(3);
    // Read while the frame is still going out: the line carries one thing at a time.
    EXPECT_NEAR(pacer.Heard(8, 1.0 + 3 * kByte9600), 1.0 + 23 * kByte9600, kClockSlack);
}

TEST(LinePacer, AFrameWaitsForTheRequestOnTheLineToEnd) {
    LinePacer pacer(9600, 10);
    const double heard = pacer.Heard(8, 1.0);
    pacer.BeginFrame(1.0 + kByte9600, 15);
    EXPECT_EQ(pacer.Allowance(heard + 0.5 * kByte9600), 0u);
    EXPECT_NEAR(pacer.NextByteDone(), heard + kByte9600, kClockSlack);
    EXPECT_EQ(pacer.Allowance(heard + 1.5 * kByte9600), 1u);
}

TEST(LinePacer, RequestsReadTogetherFollowOneAnotherOnTheLine) {
    LinePacer pacer(9600, 10);
    pacer.Heard(8, 1.0);
    EXPECT_NEAR(pacer.Heard(8, 1.0), 1.0 + 16 * kByte9600, kClockSlack);
}

TEST(LinePacer, AFrameAfterAnIdleLineStartsWhenItIsMade) {
    LinePacer pacer(9600, 10);
    pacer.Heard(8, 1.0);
    pacer.BeginFrame(2.0, 15);
    EXPECT_NEAR(pacer.NextByteDone(), 2.0 + kByte9600, kClockSlack);
}

TEST(LinePacer, AReplyWokenForLateStillStartsAtItsTurnaround) {
    LinePacer pacer(9600, 10);
    const double due = pacer.Heard(8, 1.0) + 0.001;
    const double woke = due + 0.5 * kByte9600;
    pacer.BeginFrame(woke, 15, due);
    EXPECT_NEAR(pacer.NextByteDone(), due + kByte9600, kClockSlack);
    EXPECT_EQ(pacer.Allowance(due + 15 * kByte9600 + kClockSlack), 15u);
}

// From the request's write to the reply's last byte the line carried both, and
// the turnaround between them. A lower bound: load only makes it longer.
TEST(SimulatorBusLine, ReplyWaitsForTheRequestsLineTime) {
    SimProcess sim({"--protocol", "modbus", "--line-rate", "9600", "--turnaround-us", "2000"});
    ASSERT_TRUE(sim.Started());
    const LineEnd line = LineEnd::Terminal(sim.PtyPath());
    ASSERT_TRUE(line.IsOpen());
    const Bytes request = BuildModbusRead(1);
    ASSERT_EQ(request.size(), 8u);
    const auto start = Clock::now();
    ASSERT_TRUE(line.Write(request));
    const Bytes reply = line.Read(kModbusReplyBytes, 10s);
    const std::chrono::duration<double> took = Clock::now() - start;
    ASSERT_EQ(reply.size(), kModbusReplyBytes);
    EXPECT_TRUE(CrcHolds(reply));
    EXPECT_GE(took.count(), 0.002 + static_cast<double>(8 + kModbusReplyBytes) * kByte9600);
}

TEST(SimulatorBusLine, ListenServesTheBusToOneTcpClientAfterAnother) {
    SimProcess sim({"--protocol", "modbus", "--address", "1,2,3", "--listen", "tcp://127.0.0.1:0"});
    ASSERT_TRUE(sim.Started());
    ASSERT_EQ(sim.PtyPath().rfind("tcp://127.0.0.1:", 0), 0u) << sim.PtyPath();
    ASSERT_NE(sim.PtyPath(), "tcp://127.0.0.1:0");
    {
        const LineEnd first = LineEnd::Tcp(sim.PtyPath());
        ASSERT_TRUE(first.IsOpen());
        ExpectBusAnswersOnlyItsAddresses(first, SimProtocol::Modbus);
    }
    const LineEnd second = LineEnd::Tcp(sim.PtyPath());
    ASSERT_TRUE(second.IsOpen());
    ExpectBusAnswersOnlyItsAddresses(second, SimProtocol::Modbus);
}

// tiltsim's own output and exit status for `args`.
int RunTiltsim(const std::string& args, std::string& out) {
    FILE* p = popen((std::string(TILTSIM_PATH) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SimulatorBusLine, MalformedListenAndAddressValuesAreRefusedWithTheirReason) {
    const struct {
        const char* args;
        const char* reason;
    } cases[] = {
        {"--listen 127.0.0.1:5000", "does not start with tcp://, rfc2217:// or modbus-tcp://"},
        {"--listen rfc2217://127.0.0.1", "has no :PORT"},
        {"--listen tcp://127.0.0.1:70000", "port '70000' is not 0..65535"},
        {"--listen modbus-tcp://::1:502", "an IPv6 address is written in brackets"},
        {"--listen modbus-tcp://127.0.0.1:0", "modbus-tcp:// needs --protocol modbus"},
        {"--address 1,3-2", "'3-2' is a reversed range"},
        {"--address 255", "255 is above 254"},
        {"--protocol modbus --address 0-2", "broadcast address 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out;
        EXPECT_EQ(RunTiltsim(c.args, out), 2);
        EXPECT_NE(out.find(c.reason), std::string::npos) << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << out;  // one line
    }
}

}  // namespace
