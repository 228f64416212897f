#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "ReceivePath.h"
#include "Ser2net.h"
#include "Serialport.h"
#include "SimProcess.h"
#include "SimServer.h"
#include "SystemCalls.h"
#include "TarqProtocol.h"
#include "TcpLine.h"
#include "TestOwner.h"

namespace {

constexpr int kPort = 9;

// A ports file naming a serial device server, as an operator writes it.
void WriteServer(const PortsDir& ports, int portnr, const std::string& address) {
    std::ofstream(ports.Path() + "/" + PortName(portnr)) << address << "\n";
}

// A listener on a free loopback port, at `address`; a receive buffer given is
// what its connections get.
int Listener(std::string& address, int flags, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 4);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    address = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    return fd;
}

LineSettings Line() {
    LineSettings line;
    line.portnr = kPort;
    line.baud = 115200;
    line.parity = 'E';
    return line;
}

class TcpChannelTest : public ::testing::Test {
protected:
    TcpChannelTest()
        : port(PortMap(ports.Path())),
          path(params, ReceiveHandlers{[this](const Measurement& m) { delivered.push_back(m); },
                                       nullptr, nullptr, nullptr}) {
        path.SetWriteQueue(&port);
        owner.path = &path;
    }
    ~TcpChannelTest() override { port.Close(); }

    void OpenServer() {
        ASSERT_TRUE(server.Listening());
        WriteServer(ports, kPort, server.Address());
        ASSERT_TRUE(port.Open(&owner, Line())) << SystemText(port.LastOpenError());
        ASSERT_TRUE(port.StartMonitor());
        path.SetLinkOpen(true);
    }
    void SendRead() {
        const auto frame = BuildTarqFrame(kTarqReadAngles, 0);
        path.OnTxFrame(frame.data(), frame.size());
    }

    PortsDir ports;
    SimServer server;
    CSerialPort port;
    DecodeParameters params;
    TestOwner owner;
    std::vector<Measurement> delivered;
    ReceivePath path;
};

TEST_F(TcpChannelTest, RequestsReachTheServerAndItsRepliesAreDelivered) {
    ASSERT_NO_FATAL_FAILURE(OpenServer());
    // Baud rate and parity belong to the converter: no box for them.
    EXPECT_TRUE(owner.Errors().empty());
    for (int i = 1; i <= 3; ++i) {
        SendRead();
        ASSERT_TRUE(owner.PumpUntil(port, [&] { return static_cast<int>(delivered.size()) >= i; }))
            << "reply " << i;
    }
    EXPECT_GE(server.Requests(), 3);
    EXPECT_TRUE(delivered.back().hasX);
    EXPECT_TRUE(owner.Errors().empty());
    for (const auto& b : owner.blocks) EXPECT_EQ(b.info.port, static_cast<uint32_t>(kPort));

    // Closed and opened again: a new connection that works as the first.
    port.Close();
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());
    const size_t before = delivered.size();
    SendRead();
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return delivered.size() > before; }));
    EXPECT_EQ(server.Accepted(), 2);
}

TEST_F(TcpChannelTest, AServerThatClosesIsLostAsClosedByTheServerWithoutABox) {
    ASSERT_NO_FATAL_FAILURE(OpenServer());
    SendRead();
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return !delivered.empty(); }));
    server.DropClient();
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return port.HasFailed(); }));
    EXPECT_TRUE(port.Loss().server);
    EXPECT_EQ(port.Loss().error, 0) << "closed, not failed";
    EXPECT_TRUE(owner.Errors().empty());

    // Requests to the gone line go nowhere and say nothing more.
    SendRead();
    const int wakes = owner.Wakes();
    EXPECT_FALSE(owner.WaitForWake(wakes, std::chrono::milliseconds(200)));
    EXPECT_TRUE(owner.Errors().empty());
}

TEST(TcpChannelOpen, ARefusedServerFailsWithTheSystemsReasonAndNoBox) {
    PortsDir ports;
    WriteServer(ports, kPort, "tcp://127.0.0.1:" + std::to_string(SimServer::RefusingPort()));
    CSerialPort port(PortMap(ports.Path()));
    TestOwner owner;
    EXPECT_FALSE(port.Open(&owner, Line()));
    EXPECT_EQ(port.LastOpenError(), ECONNREFUSED);
    EXPECT_EQ(SystemText(port.LastOpenError()), "Connection refused");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(owner.Errors().empty());
}

TEST(TcpChannelOpen, DiscoveryListsAServerWithoutConnectingAndDescribesIt) {
    // A bare listener: a loopback connect would sit in its queue at once.
    std::string address;
    const int listener = Listener(address, SOCK_NONBLOCK);

    PortsDir ports;
    WriteServer(ports, kPort, address);
    const PortMap map(ports.Path());
    const PosixPortFileSystem fs;
    const std::vector<int> found = map.Discover(fs);
    EXPECT_NE(std::find(found.begin(), found.end(), kPort), found.end());
    EXPECT_EQ(map.Describe(kPort, fs), address + ", through " + ports.Path() + "/COM9");
    EXPECT_LT(::accept(listener, nullptr, nullptr), 0);
    EXPECT_EQ(errno, EAGAIN);
    ::close(listener);
}

TEST(TcpChannelOpen, AMalformedAddressInAPortsFileIsRefusedNeverOpenedAsAFile) {
    PortsDir ports;
    WriteServer(ports, kPort, "tcp://sensors.example");
    CSerialPort port(PortMap(ports.Path()));
    TestOwner owner;
    EXPECT_FALSE(port.Open(&owner, Line()));
    EXPECT_EQ(port.OpenFailureNote(),
              ports.Path() + "/COM9 holds 'tcp://sensors.example': no :PORT after the host");
}

TEST(TcpChannelOpen, AConnectionGivesUpOnUnacknowledgedRequestsWithinHalfAMinute) {
    SimServer server;
    ASSERT_TRUE(server.Listening());
    TcpAddress address;
    ASSERT_TRUE(TcpAddress::Parse(server.Address(), address));
    const int fd = TcpLine::Connect(address);
    ASSERT_GE(fd, 0) << SystemText(errno);
    // Keepalive does not probe while sent data waits for its acknowledgement.
    unsigned timeoutMs = 0;
    socklen_t len = sizeof timeoutMs;
    ASSERT_EQ(::getsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeoutMs, &len), 0);
    EXPECT_GT(timeoutMs, 0u);
    EXPECT_LE(timeoutMs, 30000u);
    ::close(fd);
}

}  // namespace

namespace {

TEST_F(TcpChannelTest, AStalledConnectionGetsOnlyTheNewestRequestWhenItResumes) {
    // A server with a tiny window that reads nothing for a while: what the
    // channel sends beyond the window waits unacknowledged, as on a dead path.
    std::string address;
    const int listener = Listener(address, 0, 1);
    WriteServer(ports, kPort, address);
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());
    const int peer = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);

    constexpr int kRequests = 30;
    for (int i = 0; i < kRequests; ++i) {
        std::vector<uint8_t> block(CSerialPort::kWriteSlotSize, static_cast<uint8_t>(i));
        port.QueueWrite(block.data(), static_cast<uint32_t>(block.size()));
        // A poll period: the monitor takes each request before the next.
        ::usleep(10000);
    }
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    const auto whole = [&] { return got.size() % CSerialPort::kWriteSlotSize == 0; };
    while ((got.empty() || got.back() != kRequests - 1 || !whole()) &&
           std::chrono::steady_clock::now() < deadline) {
        uint8_t buf[4096];
        const ssize_t n = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) got.insert(got.end(), buf, buf + n);
        if (n <= 0) ::usleep(5000);
    }
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), kRequests - 1);
    EXPECT_LT(got.size() / CSerialPort::kWriteSlotSize, 10u) << "no pile sent back to back";
    ::close(peer);
    ::close(listener);
}

TEST_F(TcpChannelTest, AServersPartingWordsAreKeptWithTheLoss) {
    Ser2net ser2net(ports.Path() + "/missing-device", "tcp", "9600n81");
    ASSERT_TRUE(ser2net.Ready());
    WriteServer(ports, kPort, "tcp://127.0.0.1:" + std::to_string(ser2net.Port()));
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return port.HasFailed(); }));
    const LinkLoss loss = port.Loss();
    EXPECT_EQ(loss.words, "Device open failure: Value or file not found");
    EXPECT_EQ(LossReason(loss, false),
              "the server closed the connection: \"Device open failure: Value or file not "
              "found\"");
    EXPECT_EQ(LossReason(loss, true),
              "服务器关闭了连接：“Device open failure: Value or file not found”");
}

}  // namespace
