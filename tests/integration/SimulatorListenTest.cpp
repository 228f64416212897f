// tiltsim serving its line as a telnet (RFC 2217) device server and as a Modbus
// TCP gateway: hand-written bytes in, the bytes a client gets back.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "LineEndIo.h"
#include "SimProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// A client connected to the port at the end of the URL tiltsim printed.
class Client {
public:
    Client(const std::string& url, int family = AF_INET) {
        const uint16_t port = static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
        sockaddr_in v4{};
        sockaddr_in6 v6{};
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        v6.sin6_addr = in6addr_loopback;
        fd_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool six = family == AF_INET6;
        if (::connect(fd_,
                      six ? reinterpret_cast<sockaddr*>(&v6) : reinterpret_cast<sockaddr*>(&v4),
                      six ? sizeof v6 : sizeof v4) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    // Sends `request` and returns the next `count` bytes that come back.
    Bytes Ask(const Bytes& request, size_t count) const {
        if (!line_end::WriteAll(fd_, request, 5s)) return {};
        return line_end::ReadBytes(fd_, count, 5s, count);
    }

private:
    int fd_ = -1;
};

// A Modbus RTU reply's bytes as the telnet stream carries them, 0xFF undoubled.
Bytes TelnetReply(const Client& client, size_t count) {
    Bytes line;
    while (line.size() < count) {
        const Bytes got = client.Ask({}, 1);
        if (got.empty()) break;
        if (got[0] == 0xFF && client.Ask({}, 1) != Bytes{0xFF}) break;
        line.push_back(got[0]);
    }
    return line;
}

bool CrcHolds(const Bytes& f) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : f) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return !f.empty() && crc == 0;
}

TEST(SimulatorListen, TelnetServerNegotiatesEscapesAndFollowsTheClientsLineSettings) {
    SimProcess sim({"--protocol", "modbus", "--standard", "--listen", "rfc2217://127.0.0.1:0"});
    ASSERT_TRUE(sim.Started());
    const Client client(sim.PtyPath());
    ASSERT_TRUE(client.IsOpen());
    // WILL BINARY, DO BINARY, WILL SUPPRESS-GO-AHEAD, DO COM-PORT-OPTION.
    EXPECT_EQ(client.Ask({}, 12),
              (Bytes{0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x2C}));
    // Agreeing to what was offered is not answered; terminal type is refused;
    // data size asked, parity none and one stop bit set, each answered code + 100.
    EXPECT_EQ(client.Ask({0xFF, 0xFB, 0x2C, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x18, 0xFF,
                          0xFA, 0x2C, 0x02, 0x00, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x03,
                          0x01, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x04, 0x01, 0xFF, 0xF0},
                         24),
              (Bytes{0xFF, 0xFE, 0x18, 0xFF, 0xFA, 0x2C, 0x66, 0x08, 0xFF, 0xF0, 0xFF, 0xFA,
                     0x2C, 0x67, 0x01, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x68, 0x01, 0xFF, 0xF0}));
    // Set zero carries 0xFF: doubled on the way in and on the way back.
    const Bytes setZero{0x01, 0x06, 0x00, 0x10, 0x00, 0xFF, 0xFF, 0xC8, 0x4F};
    EXPECT_EQ(client.Ask(setZero, 9), setZero);
    // The sensor goes to 19200 after its echo; the client's port is still at 9600,
    // so a request (function 04) is garbage to the sensor until the client follows.
    EXPECT_EQ(client.Ask({0x01, 0x06, 0x00, 0x12, 0x00, 0xA2, 0xA8, 0x76}, 8),
              (Bytes{0x01, 0x06, 0x00, 0x12, 0x00, 0xA2, 0xA8, 0x76}));
    EXPECT_EQ(client.Ask({0x01, 0x04, 0x00, 0x02, 0x00, 0x04, 0x50, 0x09, 0xFF, 0xFA, 0x2C, 0x01,
                          0x00, 0x00, 0x4B, 0x00, 0xFF, 0xF0},
                         10),
              (Bytes{0xFF, 0xFA, 0x2C, 0x65, 0x00, 0x00, 0x4B, 0x00, 0xFF, 0xF0}));
    EXPECT_TRUE(client.Ask({0x01, 0x03, 0x00, 0x02, 0x00, 0x04, 0xE5, 0xC9}, 0).empty());
    const Bytes reply = TelnetReply(client, 15);
    ASSERT_EQ(reply.size(), 15u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 3), (Bytes{0x01, 0x03, 0x0A}));
    EXPECT_TRUE(CrcHolds(reply));
}

TEST(SimulatorListen, ModbusGatewayAnswersEachRequestUnderItsTransactionWithoutCrc) {
    SimProcess sim(
        {"--protocol", "modbus", "--address", "1,2", "--listen", "modbus-tcp://127.0.0.1:0"});
    ASSERT_TRUE(sim.Started());
    const Client client(sim.PtyPath());
    ASSERT_TRUE(client.IsOpen());
    // Two requests in one segment: set zero at unit 2, write multiple registers at 1.
    EXPECT_EQ(client.Ask({0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x02, 0x06, 0x00, 0x10,
                          0x00, 0xFF, 0x00, 0x07, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x10,
                          0x00, 0x11, 0x00, 0x02, 0x04, 0x00, 0x05, 0xFF, 0xFF},
                         21),
              (Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x02, 0x06, 0x00, 0x10, 0x00,
                     0xFF, 0x00, 0x07, 0x00, 0x00, 0x00, 0x03, 0x01, 0x90, 0x01}));
    // Unit 9 is not on the line: no answer, and the next reply keeps its own id.
    const Bytes reply =
        client.Ask({0xAB, 0xCD, 0x00, 0x00, 0x00, 0x06, 0x09, 0x03, 0x00, 0x02, 0x00, 0x04,
                    0x00, 0x08, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x02, 0x00, 0x04},
                   19);
    ASSERT_EQ(reply.size(), 19u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 9),
              (Bytes{0x00, 0x08, 0x00, 0x00, 0x00, 0x0D, 0x01, 0x03, 0x0A}));
}

TEST(SimulatorListen, ListensOnAHostNameAndOnABracketedIpv6Address) {
    SimProcess named({"--listen", "tcp://localhost:0"});
    ASSERT_TRUE(named.Started());
    EXPECT_EQ(named.PtyPath().rfind("tcp://localhost:", 0), 0u) << named.PtyPath();
    SimProcess six({"--protocol", "modbus", "--listen", "tcp://[::1]:0"});
    ASSERT_TRUE(six.Started());
    ASSERT_EQ(six.PtyPath().rfind("tcp://[::1]:", 0), 0u) << six.PtyPath();
    const Client client(six.PtyPath(), AF_INET6);
    ASSERT_TRUE(client.IsOpen());
    EXPECT_TRUE(CrcHolds(client.Ask({0x01, 0x03, 0x00, 0x02, 0x00, 0x04, 0xE5, 0xC9}, 15)));
}

}  // namespace
