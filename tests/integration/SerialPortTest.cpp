#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "Serialport.h"
#include "SimProcess.h"
#include "TarqProtocol.h"
#include "TestOwner.h"

namespace {

using namespace std::chrono_literals;

constexpr int kPort = 5;

// The test itself as the sensor, for cases that need exact control of what the
// line carries and when.
class RawPty {
public:
    RawPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::grantpt(master_);
        ::unlockpt(master_);
        slavePath_ = ::ptsname(master_);
    }
    ~RawPty() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& SlavePath() const { return slavePath_; }
    void Write(const std::vector<uint8_t>& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Everything the channel transmitted, collected until `count` bytes or the deadline.
    std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds limit = 3s) const {
        std::vector<uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            uint8_t buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    // Bytes the line discipline holds for the reader, seen through a second slave descriptor.
private:
    int master_ = -1;
    std::string slavePath_;
};

LineSettings Line(uint32_t portnr = kPort, uint32_t baud = 9600) {
    LineSettings line;
    line.portnr = portnr;
    line.baud = baud;
    return line;
}

bool Discovered(const PortsDir& ports, int portnr) {
    const std::vector<int> found = PortMap(ports.Path()).Discover(PosixPortFileSystem());
    return std::find(found.begin(), found.end(), portnr) != found.end();
}

class SerialPortTest : public ::testing::Test {
protected:
    SerialPortTest()
        : port(PortMap(ports.Path())),
          path(params, ReceiveHandlers{[this](const Measurement& m) { delivered.push_back(m); },
                                       nullptr, nullptr, nullptr}) {
        path.SetWriteQueue(&port);
    }
    ~SerialPortTest() override { port.Close(); }

    // Starts tiltsim with `args`, registers it as COM5 and opens it with a running monitor.
    void OpenSim(const std::vector<std::string>& args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started());
        ports.Link(kPort, sim->PtyPath());
        ASSERT_TRUE(port.Open(&owner, Line()));
        ASSERT_TRUE(port.StartMonitor());
        path.SetLinkOpen(true);
    }
    void SendRead() {
        const auto frame = BuildTarqFrame(kTarqReadAngles, 0);
        path.OnTxFrame(frame.data(), frame.size());
    }
    int Measurements() const { return static_cast<int>(delivered.size()); }

    PortsDir ports;
    CSerialPort port;
    DecodeParameters params;
    TestOwner owner;
    std::vector<Measurement> delivered;
    ReceivePath path;
    std::unique_ptr<SimProcess> sim;
};

// Every delivery runs through the receive path, as in the window.
class SimExchangeTest : public SerialPortTest {
protected:
    SimExchangeTest() { owner.path = &path; }
};

TEST(SerialPortBounds, OpenRefusesPortNumbersOutsideOneTo199AndANullOwner) {
    PortsDir ports;
    CSerialPort port(PortMap(ports.Path()));
    TestOwner owner;
    EXPECT_FALSE(port.Open(&owner, Line(0)));
    EXPECT_FALSE(port.Open(&owner, Line(200)));
    EXPECT_FALSE(port.Open(nullptr, Line(1)));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.MonitorAlive());
    EXPECT_TRUE(owner.Errors().empty());
    port.Close();  // nothing open: harmless
}

TEST(SerialPortBounds, MissingDeviceFailsWithTheSystemReasonAndNoBox) {
    PortsDir ports;
    ports.Link(7, "/dev/does-not-exist");
    CSerialPort port(PortMap(ports.Path()));
    TestOwner owner;
    EXPECT_FALSE(port.Open(&owner, Line(7)));
    EXPECT_EQ(port.LastOpenError(), ENOENT);
    EXPECT_TRUE(owner.Errors().empty());
}

TEST(SerialPortBounds, DanglingLinkIsAMissingPortAndTheTablesDeviceIsNotOpened) {
    PortsDir ports;
    // COM1's table device is /dev/ttyS0, there on nearly every PC: the open must
    // fail on the link all the same.
    const std::string gone = ports.Path() + "/unplugged-adapter";
    ports.Link(1, gone);
    CSerialPort port(PortMap(ports.Path()));
    TestOwner owner;
    EXPECT_FALSE(port.Open(&owner, Line(1)));
    EXPECT_EQ(port.LastOpenError(), ENOENT);
    EXPECT_EQ(port.DevicePath(), ports.Path() + "/COM1");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(owner.Errors().empty());
    EXPECT_FALSE(Discovered(ports, 1));

    // The target back (a pty here, as an adapter plugged in again): the link opens.
    RawPty pty;
    std::filesystem::create_symlink(pty.SlavePath(), gone);
    EXPECT_TRUE(Discovered(ports, 1));
    ASSERT_TRUE(port.Open(&owner, Line(1)));
    EXPECT_EQ(port.DevicePath(), ports.Path() + "/COM1");
    port.Close();
}

TEST_F(SimExchangeTest, OpenPollCloseAndReopenEachExchangeAReply) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--protocol", "tarq"}));
    for (int round = 0; round < 2; ++round) {
        const int before = static_cast<int>(owner.blocks.size());
        path.TakeFramesThisSecond();
        SendRead();
        ASSERT_TRUE(owner.PumpUntil(port, [&] { return path.FramesThisSecond() == 1; }))
            << "round " << round;
        EXPECT_GT(static_cast<int>(owner.blocks.size()), before);
        EXPECT_EQ(owner.blocks.back().message, MSG_RX_TARQ);
        EXPECT_EQ(owner.blocks.back().info.port, static_cast<uint32_t>(kPort));
        EXPECT_EQ(path.Miscount(), 0);
        EXPECT_EQ(Measurements(), round + 1);
        port.Close();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.MonitorAlive());
        ASSERT_TRUE(port.Open(&owner, Line()));
        ASSERT_TRUE(port.StartMonitor());
    }
    EXPECT_TRUE(owner.Errors().empty());
}

TEST_F(SimExchangeTest, SplitReplyArrivesInSeveralDeliveriesAndIsAssembledOnce) {
    // The test stands on the line between the channel and tiltsim and hands the
    // reply on in pieces, each only once the one before has been delivered: how
    // fast anything runs cannot merge them.
    sim = std::make_unique<SimProcess>(std::vector<std::string>{"--protocol", "tarq"});
    ASSERT_TRUE(sim->Started());
    const int sensor = ::open(sim->PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(sensor, 0);
    RawPty line;
    ports.Link(kPort, line.SlavePath());
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());
    path.SetLinkOpen(true);

    SendRead();
    const std::vector<uint8_t> request = line.Read(5);
    ASSERT_EQ(request.size(), 5u);
    ASSERT_EQ(::write(sensor, request.data(), request.size()), 5);
    std::vector<uint8_t> reply;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (reply.size() < 14 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{sensor, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        uint8_t buffer[64];
        const ssize_t n = ::read(sensor, buffer, sizeof buffer);
        if (n > 0) reply.insert(reply.end(), buffer, buffer + n);
    }
    ::close(sensor);
    ASSERT_EQ(reply.size(), 14u);

    constexpr size_t kPiece = 3;
    const auto deliveredBytes = [&] {
        size_t n = 0;
        for (const auto& b : owner.blocks) n += b.bytes.size();
        return n;
    };
    size_t pieces = 0;
    for (size_t at = 0; at < reply.size(); at += kPiece, ++pieces) {
        const size_t end = std::min(reply.size(), at + kPiece);
        line.Write(std::vector<uint8_t>(reply.begin() + at, reply.begin() + end));
        ASSERT_TRUE(owner.PumpUntil(port, [&] { return deliveredBytes() == end; })) << at;
        EXPECT_EQ(Measurements(), end == reply.size() ? 1 : 0) << at;
    }

    EXPECT_GE(owner.blocks.size(), pieces);
    std::vector<uint8_t> joined;
    for (const auto& b : owner.blocks) {
        EXPECT_EQ(b.message, MSG_RX_TARQ);
        joined.insert(joined.end(), b.bytes.begin(), b.bytes.end());
    }
    EXPECT_EQ(joined, reply);
    EXPECT_EQ(Measurements(), 1);
    EXPECT_EQ(path.FramesThisSecond(), 1);
    EXPECT_EQ(path.Miscount(), 0);
    const std::string text = path.PendingTrafficText();
    EXPECT_EQ(text.find("Rx: "), text.rfind("Rx: ")) << text;
    EXPECT_NE(text.find("Rx: "), std::string::npos) << text;
}

TEST_F(SimExchangeTest, NoiseBeforeEachReplyIsDroppedWithoutEcho) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--protocol", "tarq", "--noise", "7"}));
    SendRead();
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return path.FramesThisSecond() == 1; }));
    EXPECT_EQ(path.Miscount(), 0);
    // The echo is the request and exactly the 14 bytes of the reply.
    const std::string text = path.PendingTrafficText();
    const size_t rx = text.find("Rx: ");
    ASSERT_NE(rx, std::string::npos);
    EXPECT_EQ(text.size() - rx, 4 + 14 * 3 + 2u) << text;
}

TEST_F(SimExchangeTest, ModbusRepliesGoOutAsModbusDeliveriesWhenTheSelectorSaysSo) {
    int selector = kProtocolModbus;
    port.SetProtocolSelector([&] { return selector; });
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--protocol", "modbus", "--address", "1"}));
    path.SetDeviceAddress(1);
    const auto read = BuildModbusRead(1);
    path.OnTxFrame(read.data(), read.size());
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return path.FramesThisSecond() == 1; }));
    EXPECT_EQ(owner.blocks.back().message, MSG_RX_MODBUS);
    EXPECT_EQ(path.Miscount(), 0);
    EXPECT_NE(path.LastMeasurement().temperature, 0.0);
}

TEST_F(SerialPortTest, SecondOpenOfAPortInUseFails) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({}));
    CSerialPort other(PortMap(ports.Path()));
    TestOwner otherOwner;
    EXPECT_FALSE(other.Open(&otherOwner, Line()));
    EXPECT_EQ(other.LastOpenError(), EBUSY);
    // Released by Close: now it may be had.
    port.Close();
    EXPECT_TRUE(other.Open(&otherOwner, Line()));
    other.Close();
}

TEST_F(SerialPortTest, CloseCompletesWhileTheMonitorWaitsInADelivery) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--auto-hz", "200"}));
    ASSERT_TRUE(owner.WaitForWake(0));
    // The monitor is now blocked handing over a block nobody has served.
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(port.MonitorAlive());
    EXPECT_FALSE(port.ServiceDeliveries()) << "nothing is delivered after Close";
}

TEST_F(SerialPortTest, ABlockNobodyTakesIsAnnouncedAgain) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--auto-hz", "200"}));
    ASSERT_TRUE(owner.WaitForWake(0));
    // The first wake is lost, as one queued behind a box held open can be.
    EXPECT_TRUE(owner.WaitForWake(1)) << "the block waits for a wake that never comes";
    EXPECT_TRUE(owner.PumpUntil(port, [&] { return owner.blocks.size() >= 2; }));
}

TEST_F(SerialPortTest, CloseAndReopenFromInsideADeliveryDoNotDeadlock) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--auto-hz", "200"}));
    int reopened = 0;
    owner.onDeliver = [&](const TestOwner::Block&) {
        if (reopened++ == 0) {
            port.Close();
            ASSERT_TRUE(port.Open(&owner, Line()));
            ASSERT_TRUE(port.StartMonitor());
        }
    };
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return owner.blocks.size() >= 3; }));
    EXPECT_TRUE(port.MonitorAlive());
}

TEST_F(SerialPortTest, BareOpenWhileRunningRestartsTheMonitor) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--auto-hz", "200"}));
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return !owner.blocks.empty(); }));
    ASSERT_TRUE(port.Open(&owner, Line()));
    EXPECT_FALSE(port.MonitorAlive());
    EXPECT_FALSE(port.ServiceDeliveries()) << "the old monitor's block must not arrive";
    ASSERT_TRUE(port.StartMonitor());
    const size_t before = owner.blocks.size();
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return owner.blocks.size() > before; }));
}

TEST_F(SerialPortTest, PulledAdapterIsLostWithItsReasonWithoutABoxThenQuietUntilClose) {
    ASSERT_NO_FATAL_FAILURE(OpenSim({"--auto-hz", "100"}));
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return owner.blocks.size() >= 2; }));
    sim->Signal(SIGUSR1);  // tiltsim closes its master: the adapter is gone
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return port.HasFailed(); }));
    EXPECT_EQ(port.Loss().error, EIO);
    EXPECT_FALSE(port.Loss().server);
    EXPECT_TRUE(owner.Errors().empty()) << owner.Errors()[0].first;

    // No spinning, no empty deliveries, no second box.
    const size_t blocks = owner.blocks.size();
    const int wakes = owner.Wakes();
    EXPECT_FALSE(owner.WaitForWake(wakes, 200ms));
    while (port.ServiceDeliveries()) {
    }
    EXPECT_EQ(owner.blocks.size(), blocks);
    EXPECT_TRUE(owner.Errors().empty());
    for (const auto& b : owner.blocks) EXPECT_GT(b.info.count, 0u);

    // Requests to a failed channel go nowhere and do not throw.
    const auto frame = BuildTarqFrame(kTarqReadAngles, 0);
    port.QueueWrite(frame.data(), static_cast<uint32_t>(frame.size()));

    port.Close();
    EXPECT_FALSE(port.MonitorAlive());

    // The adapter comes back (a new pty under the same name): Open works again.
    sim = std::make_unique<SimProcess>(std::vector<std::string>{});
    ASSERT_TRUE(sim->Started());
    ports.Link(kPort, sim->PtyPath());
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());
    owner.path = &path;
    path.SetLinkOpen(true);
    SendRead();
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return path.FramesThisSecond() >= 1; }));
}

TEST_F(SerialPortTest, UnsupportedBaudIsReportedAndOpenStillSucceeds) {
    RawPty pty;
    ports.Link(kPort, pty.SlavePath());
    ASSERT_TRUE(port.Open(&owner, Line(kPort, 12345)));
    const auto errors = owner.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "Application Error");
    EXPECT_EQ(
        errors[0].first.rfind("WARNING:  SetCommState() Failed with the following error: \n", 0),
        0u)
        << errors[0].first;
    EXPECT_NE(errors[0].first.find("\nPort: 5\n"), std::string::npos);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, OnlyTheLastOfTwoQueuedRequestsIsTransmitted) {
    RawPty pty;
    ports.Link(kPort, pty.SlavePath());
    ASSERT_TRUE(port.Open(&owner, Line()));
    const std::vector<uint8_t> first = {0x68, 0x04, 0x00, 0x04, 0x08};
    const std::vector<uint8_t> second = {0x68, 0x04, 0x00, 0x53, 0x57};
    port.QueueWrite(first.data(), 5);
    port.QueueWrite(second.data(), 5);
    ASSERT_TRUE(port.StartMonitor());
    EXPECT_EQ(pty.Read(10, 500ms), second);
}

TEST_F(SerialPortTest, ABurstWithTwoRepliesArrivesInOneDelivery) {
    RawPty pty;
    ports.Link(kPort, pty.SlavePath());
    owner.path = &path;
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());

    const std::vector<uint8_t> reply = {0x68, 0x0D, 0x00, 0x84, 0x00, 0x12, 0x34,
                                        0x10, 0x05, 0x67, 0x00, 0x25, 0x10, 0x88};
    pty.Write({0x00});  // held in the slot: the monitor reads nothing more meanwhile
    ASSERT_TRUE(owner.WaitForWake(0));
    std::vector<uint8_t> burst = reply;
    burst.insert(burst.end(), reply.begin(), reply.end());
    pty.Write(burst);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    // Asked through the channel: the port is held for exclusive use.
    while (port.DeviceQueuedBytes() < 28 && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_EQ(port.DeviceQueuedBytes(), 28);

    ASSERT_TRUE(owner.PumpUntil(port, [&] { return path.FramesThisSecond() == 2; }));
    ASSERT_EQ(owner.blocks.size(), 2u);
    EXPECT_EQ(owner.blocks[1].info.count, 28u);
    EXPECT_EQ(owner.blocks[1].bytes, burst);
    EXPECT_DOUBLE_EQ(path.LastMeasurement().x, 1234 * static_cast<double>(0.01f));
}

TEST_F(SerialPortTest, SelectorIsReadAtEachDelivery) {
    RawPty pty;
    ports.Link(kPort, pty.SlavePath());
    int selector = kProtocolTarq;
    port.SetProtocolSelector([&] { return selector; });
    ASSERT_TRUE(port.Open(&owner, Line()));
    ASSERT_TRUE(port.StartMonitor());
    pty.Write({0x01});
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return owner.blocks.size() == 1; }));
    selector = kProtocolModbus;
    pty.Write({0x02});
    ASSERT_TRUE(owner.PumpUntil(port, [&] { return owner.blocks.size() == 2; }));
    EXPECT_EQ(owner.blocks[0].message, MSG_RX_TARQ);
    EXPECT_EQ(owner.blocks[1].message, MSG_RX_MODBUS);
}

}  // namespace
