// tiltsim as a standard Modbus device on a real pseudo-terminal: it hears and
// answers only a client whose terminal has its speed and parity.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "LineEndIo.h"
#include "ModbusProtocol.h"
#include "SimProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// More than a pseudo-terminal buffers between writer and reader, however the
// kernel sizes its buffers today.
constexpr size_t kOverflowBytes = 4u << 20;

// The client's end of the line, set up with plain termios as any program would.
class ClientTerminal {
public:
    explicit ClientTerminal(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~ClientTerminal() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }

    bool Set(speed_t speed, tcflag_t parityFlags = 0) const {
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) return false;
        cfmakeraw(&tio);
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
        tio.c_cflag |= parityFlags;
        // A pseudo-terminal drops PARENB, and may refuse a request that then
        // changes nothing; what counts is what the terminal holds afterwards.
        ::tcsetattr(fd_, TCSANOW, &tio);
        termios now{};
        if (::tcgetattr(fd_, &now) != 0) return false;
        return cfgetospeed(&now) == speed && (now.c_cflag & PARODD) == (parityFlags & PARODD);
    }

    // True once every byte is in the terminal, within the deadline.
    bool Write(const Bytes& bytes, std::chrono::milliseconds limit = 10s) const {
        return line_end::WriteAll(fd_, bytes, limit);
    }

    // What the sensor sent, collected until `count` bytes or the deadline.
    Bytes Read(size_t count, std::chrono::milliseconds limit = 5s) const {
        return line_end::ReadBytes(fd_, count, limit);
    }

    // Sends `request` followed by filler no sensor takes for a request. The write
    // completes only once the sensor has read past the request, so the request is
    // judged at the line settings it was sent with, not at the next ones.
    bool WriteAndWaitUntilRead(const Bytes& request) const {
        Bytes bytes = request;
        bytes.resize(request.size() + kOverflowBytes, 0xFF);
        return Write(bytes, 30s);
    }

private:
    int fd_;
};

bool CrcHolds(const Bytes& f) {
    return !f.empty() && ModbusCrc(f.data(), f.size()) == 0;
}

// A read answered at `heard`; one sent at `unheard` gets nothing, which shows in
// the next answer at `heard` being the reply to the request after it.
void ExpectHeardOnlyAt(const ClientTerminal& client, speed_t heardSpeed, tcflag_t heardParity,
                       speed_t unheardSpeed, tcflag_t unheardParity) {
    ASSERT_TRUE(client.Set(heardSpeed, heardParity));
    ASSERT_TRUE(client.Write(BuildModbusRead(1)));
    const Bytes reply = client.Read(15);
    ASSERT_EQ(reply.size(), 15u);
    EXPECT_EQ(reply[0], 0x01);
    EXPECT_EQ(reply[1], kModbusRead);
    EXPECT_TRUE(CrcHolds(reply));

    ASSERT_TRUE(client.Set(unheardSpeed, unheardParity));
    ASSERT_TRUE(client.WriteAndWaitUntilRead(BuildModbusRead(1)));
    ASSERT_TRUE(client.Set(heardSpeed, heardParity));
    const Bytes marker = BuildModbusWrite(1, kModbusRegFrequency, 0);
    ASSERT_TRUE(client.Write(marker));
    EXPECT_EQ(client.Read(marker.size()), marker);
}

TEST(StandardDevicePty, AnswersOnlyAtTheMatchingSpeed) {
    SimProcess sim({"--protocol", "modbus", "--standard"});
    ASSERT_TRUE(sim.Started());
    ClientTerminal client(sim.PtyPath());
    ASSERT_TRUE(client.IsOpen());
    ExpectHeardOnlyAt(client, B9600, 0, B19200, 0);
}

TEST(StandardDevicePty, AnswersOnlyAtTheMatchingParity) {
    SimProcess sim({"--protocol", "modbus", "--standard", "--baud", "19200", "--parity", "O"});
    ASSERT_TRUE(sim.Started());
    ClientTerminal client(sim.PtyPath());
    ASSERT_TRUE(client.IsOpen());
    ExpectHeardOnlyAt(client, B19200, PARENB | PARODD, B19200, 0);
}

TEST(StandardDevicePty, DefaultModeAnswersAtAnySpeed) {
    SimProcess sim({"--protocol", "modbus"});
    ASSERT_TRUE(sim.Started());
    ClientTerminal client(sim.PtyPath());
    ASSERT_TRUE(client.IsOpen());
    for (speed_t speed : {B9600, B19200}) {
        ASSERT_TRUE(client.Set(speed));
        ASSERT_TRUE(client.Write(BuildModbusRead(1)));
        EXPECT_EQ(client.Read(15).size(), 15u);
    }
}

}  // namespace
